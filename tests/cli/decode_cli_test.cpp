// marlin make-sample and marlin decode as a user runs them: samples are
// reproducible, every video frame is accounted for, and the files written are
// the decoder's pictures.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "codec/colour_convert.h"
#include "codec/yuv_picture.h"
#include "run_marlin.h"
#include "source/stream_source.h"

namespace marlin::testing {
namespace {

namespace fs = std::filesystem;

class DecodeCli : public ::testing::Test {
 protected:
  std::string makeSample(const std::vector<std::string>& extra, const std::string& name = "sample.QKV") {
    std::vector<std::string> args = {"make-sample", dir.file(name), "--seconds", "1"};
    args.insert(args.end(), extra.begin(), extra.end());
    const Result r = runMarlin(dir, args);
    EXPECT_TRUE(r.exited && r.status == 0) << r;
    return dir.file(name);
  }

  // The video frames of a recording in reading order, as readNext delivers them.
  static std::vector<std::vector<std::uint8_t>> videoFrames(const std::string& path) {
    StreamSource source;
    EXPECT_TRUE(source.open(path, false));
    std::vector<std::vector<std::uint8_t>> frames;
    std::vector<std::uint8_t> buffer(container::kFrameBufferSize);
    while (const std::uint32_t n = source.readNext(buffer.data())) {
      if (!source.header().isAudio) {
        frames.emplace_back(buffer.begin(), buffer.begin() + n);
      }
    }
    return frames;
  }

  static std::map<std::string, std::vector<std::uint8_t>> filesIn(const std::string& folder) {
    std::map<std::string, std::vector<std::uint8_t>> files;
    for (const auto& entry : fs::directory_iterator(folder)) {
      files[entry.path().filename().string()] = readFile(entry.path().string());
    }
    return files;
  }

  TempDir dir;
};

TEST_F(DecodeCli, SamplesAreReproducibleAndLaidOutAsAsked) {
  const std::string first = makeSample({"--channels", "3", "--audio", "--conditional"}, "a.QKV");
  const std::string second = makeSample({"--channels", "3", "--audio", "--conditional"}, "b.QKV");
  EXPECT_EQ(readFile(first), readFile(second));

  const Result info = runMarlin(dir, {"info", first, "--json"});
  ASSERT_EQ(info.status, 0) << info;
  EXPECT_NE(info.out.find("\"channelMasks\": [7]"), std::string::npos) << info.out;
  EXPECT_NE(info.out.find("\"audioFrames\": {\"0\": "), std::string::npos) << info.out;
  EXPECT_NE(info.out.find("\"firstBlockTime\": \"2010-01-01 12:00:00\""), std::string::npos) << info.out;
  // Base period 16666 us at 224 lines: two periods per picture, interval 1.
  EXPECT_NE(info.out.find("\"frameIntervals\": [1]"), std::string::npos) << info.out;
}

TEST_F(DecodeCli, DecodesEveryVideoFrameIntoRawPictures) {
  const std::string sample = makeSample({"--channels", "2", "--height", "272", "--conditional"});
  const auto frames = videoFrames(sample);
  ASSERT_GT(frames.size(), 4u);

  const Result r = runMarlin(dir, {"decode", sample, "--out", dir.file("yuv")});
  ASSERT_EQ(r.status, 0) << r;
  const auto files = filesIn(dir.file("yuv"));
  ASSERT_EQ(files.size(), frames.size());

  // The same pictures, decoded here frame by frame through per-channel references.
  VideoDecoder decoder;
  decoder.Init(4);
  PictureStore store;
  for (std::size_t i = 0; i < frames.size(); ++i) {
    const YuvPicture* picture = store.decode(decoder, frames[i].data(), frames[i].size());
    ASSERT_NE(picture, nullptr) << i;
    char name[32];
    std::snprintf(name, sizeof name, "%06zu-ch%d.yuv", i, decoder.GetChannel());
    ASSERT_TRUE(files.contains(name)) << name;
    EXPECT_EQ(files.at(name), picture->data) << name;
    EXPECT_EQ(files.at(name).size(), 640u * 272 * 3 / 2);
  }
  EXPECT_NE(r.out.find("ch0: " + std::to_string((frames.size() + 1) / 2) + " decoded, 0 failed"), std::string::npos)
      << r.out;

  const Result portable = runMarlin(dir, {"decode", sample, "--out", dir.file("portable"), "--simd", "off"});
  ASSERT_EQ(portable.status, 0) << portable;
  EXPECT_EQ(filesIn(dir.file("portable")), files);
  EXPECT_NE(portable.out.find("transform: portable"), std::string::npos) << portable.out;
}

TEST_F(DecodeCli, FailedFramesKeepTheirNumbersAndAreCounted) {
  const std::string sample = makeSample({"--channels", "2"});
  // Spoil the quality of the second picture: quality 15 is refused.
  std::vector<std::uint8_t> bytes = readFile(sample);
  const auto frames = videoFrames(sample);
  const auto second = std::search(bytes.begin() + 8 + static_cast<std::ptrdiff_t>(frames[0].size()), bytes.end(),
                                  frames[1].begin(), frames[1].begin() + 16);
  ASSERT_NE(second, bytes.end());
  second[4] = static_cast<std::uint8_t>(0xF0 | (second[4] & 0x0F));
  writeFile(sample, bytes);

  const Result r = runMarlin(dir, {"decode", sample, "--out", dir.file("out"), "--channel", "1", "--limit", "3"});
  ASSERT_EQ(r.status, 0) << r;
  EXPECT_NE(r.out.find("ch1: 2 decoded, 1 failed"), std::string::npos) << r.out;
  const auto files = filesIn(dir.file("out"));
  EXPECT_EQ(files.size(), 2u);
  EXPECT_FALSE(files.contains("000001-ch1.yuv"));
  EXPECT_TRUE(files.contains("000003-ch1.yuv"));
  EXPECT_TRUE(files.contains("000005-ch1.yuv"));
}

TEST_F(DecodeCli, BitmapsHoldTheConvertedPicture) {
  const std::string sample = makeSample({"--channels", "1"});
  const Result r = runMarlin(dir, {"decode", sample, "--out", dir.file("bmp"), "--format", "bmp", "--limit", "1"});
  ASSERT_EQ(r.status, 0) << r;
  const auto bmp = readFile(dir.file("bmp/000000-ch0.bmp"));
  ASSERT_EQ(bmp.size(), 54u + 640 * 224 * 3);
  EXPECT_EQ(bmp[0], 'B');
  EXPECT_EQ(bmp[1], 'M');
  EXPECT_EQ(bmp[18] | bmp[19] << 8, 640);
  EXPECT_EQ(bmp[22] | bmp[23] << 8, 224);
  EXPECT_EQ(bmp[28], 24);

  const auto frame = videoFrames(sample).at(0);
  VideoDecoder decoder;
  decoder.Init(4);
  PictureStore store;
  const YuvPicture* picture = store.decode(decoder, frame.data(), frame.size());
  ASSERT_NE(picture, nullptr);
  std::vector<std::uint8_t> rows(640 * 224 * 3);
  ToDib24(rows.data(), picture->data.data(), 640, 224);
  EXPECT_TRUE(std::equal(rows.begin(), rows.end(), bmp.begin() + 54));
}

TEST_F(DecodeCli, BadArgumentsFailWithOneLine) {
  const std::string sample = makeSample({"--channels", "1"});
  expectOneLineFailure(runMarlin(dir, {"decode", sample}), "--out");
  expectOneLineFailure(runMarlin(dir, {"decode", sample, "--out", dir.file("x"), "--format", "png"}));
  expectOneLineFailure(runMarlin(dir, {"decode", dir.file("missing.QKV"), "--out", dir.file("x")}), "missing.QKV");
  expectOneLineFailure(runMarlin(dir, {"make-sample", dir.file("s.QKV"), "--height", "240"}));
  expectOneLineFailure(runMarlin(dir, {"make-sample", dir.file("no-such-folder/s.QKV"), "--seconds", "1"}),
                       "no-such-folder");
}

TEST_F(DecodeCli, MotionTheSampleCannotShowIsAUsageError) {
  const std::string made = makeSample({"--channels", "2", "--motion", "2:0.2-0.6@320,64,240,128", "--motion", "2:0.6-1",
                                       "--motion", "1:0-1", "--noise", "2.5"});
  EXPECT_FALSE(videoFrames(made).empty());

  const std::string out = dir.file("refused.QKV");
  const struct {
    std::vector<std::string> motion;
    std::string mention;
  } refused[] = {
      {{"2-3"}, "expected CH:START-END"},
      {{"1:2-3@0,0,100"}, "expected CH:START-END"},
      {{"5:1-2"}, "the channel must be from 1 to 4"},
      {{"1:3-3"}, "the end must come after the start"},
      {{"1:2-10.5"}, "ends after the recording's 10 seconds"},
      {{"1:1-2@600,0,100,100"}, "not inside the 640x224 picture"},
      {{"1:1-2@0,0,48,48"}, "at least 48x48"},
      {{"1:1-4", "2:1-4", "1:3-5"}, "--motion 1:3-5 overlaps --motion 1:1-4"},
  };
  for (const auto& k : refused) {
    std::vector<std::string> args = {"make-sample", out};
    for (const std::string& span : k.motion) {
      args.insert(args.end(), {"--motion", span});
    }
    const Result r = runMarlin(dir, args);
    expectOneLineFailure(r, k.mention);
    EXPECT_EQ(r.status, 2) << r;
  }
  EXPECT_EQ(runMarlin(dir, {"make-sample", out, "--noise", "10.5"}).status, 2);
  EXPECT_FALSE(fs::exists(out)) << "nothing is written before the command line is found right";
}

}  // namespace
}  // namespace marlin::testing
