#include "export/avi_writer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "avi_read_back.h"
#include "support/temp_dir.h"

namespace marlin {
namespace {

using exporttest::bottomUpGradient;
using exporttest::meanDifference;
using exporttest::readBack;

std::uint32_t le32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
  return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

// What the video stream's headers declare, found by their tags.
struct VideoHeaders {
  std::uint32_t suggestedBufferSize = 0;
  std::int32_t height = 0;
  std::uint32_t imageSize = 0;
};

VideoHeaders videoHeaders(const std::vector<std::uint8_t>& file) {
  const std::string text(file.begin(), file.end());
  const std::size_t vids = text.find("vids");
  const std::size_t format = text.find("strf", vids);
  return {le32(file, vids + 36), static_cast<std::int32_t>(le32(file, format + 16)), le32(file, format + 28)};
}

constexpr AviAudioFormat kStereo16{kWaveFormatPcm, 2, 8000, 32000, 4, 16};

TEST(AviWriter, UncompressedFramesAndSoundReadBackExactly) {
  testing::TempDir dir;
  const std::string path = dir.file("odd.avi");
  // 638 pixels make 1914-byte rows, stored padded to 1916.
  const AviVideoFormat format{638, 224, 24, 0};
  AviWriter writer;
  ASSERT_EQ(writer.open(path), 1);
  ASSERT_EQ(writer.createStreams(30, 1, &format, &kStereo16), 1) << writer.lastFailure().message();
  EXPECT_EQ(writer.videoFormat().imageSize, 1916u * 224u);
  const int frames = 5;
  std::vector<std::vector<std::uint8_t>> images;
  const std::vector<std::uint8_t> sound(4003, 0x11);
  for (int frame = 0; frame < frames; ++frame) {
    images.push_back(bottomUpGradient(638, 224, frame));
    EXPECT_EQ(writer.writeVideo(frame, images.back().data()), 1);
  }
  // Whole samples are counted; the bytes past the last whole one go in too.
  EXPECT_EQ(writer.writeAudio(sound.data(), 4000), 1);
  EXPECT_EQ(writer.audioPosition(), 1000u);
  EXPECT_EQ(writer.writeAudio(sound.data(), 4003), 1);
  EXPECT_EQ(writer.audioPosition(), 2000u);
  writer.close();
  EXPECT_FALSE(writer.isOpen());

  const exporttest::FileSeen seen = readBack(path);
  ASSERT_TRUE(seen.opened);
  ASSERT_EQ(seen.streams.size(), 2u);
  EXPECT_EQ(seen.streams[0].type, AVMEDIA_TYPE_AUDIO);
  const exporttest::StreamSeen* audio = seen.stream(AVMEDIA_TYPE_AUDIO);
  EXPECT_EQ(audio->codec, AV_CODEC_ID_PCM_S16LE);
  EXPECT_EQ(audio->channels, 2);
  EXPECT_EQ(audio->sampleRate, 8000);
  EXPECT_EQ(audio->blockAlign, 4);
  EXPECT_EQ(audio->bytes, 8003);

  const exporttest::StreamSeen* video = seen.stream(AVMEDIA_TYPE_VIDEO);
  EXPECT_EQ(video->codec, AV_CODEC_ID_RAWVIDEO);
  EXPECT_EQ(video->width, 638);
  EXPECT_EQ(video->height, 224);
  EXPECT_EQ(video->packets, frames);
  for (int size : video->packetSizes) EXPECT_EQ(size, 1916 * 224);
  EXPECT_EQ(av_cmp_q(video->timeBase, AVRational{1, 30}), 0);
  EXPECT_EQ(av_cmp_q(video->frameRate, AVRational{30, 1}), 0);
  EXPECT_EQ(meanDifference(seen.firstPicture, images.front(), 638, 224), 0);
  EXPECT_EQ(meanDifference(seen.lastPicture, images.back(), 638, 224), 0);

  // Bottom-up (a positive height), and every size the padded frames'.
  const VideoHeaders headers = videoHeaders(testing::readFile(path));
  EXPECT_EQ(headers.height, 224);
  EXPECT_EQ(headers.imageSize, 1916u * 224u);
  EXPECT_EQ(headers.suggestedBufferSize, 1916u * 224u);
}

TEST(AviWriter, WithoutSoundFormatSoundWritesSucceedAndStoreNothing) {
  testing::TempDir dir;
  AviWriter writer;
  ASSERT_EQ(writer.open(dir.file("silent.avi")), 1);
  // The ratio is kept as given, not rounded to a standard rate.
  ASSERT_EQ(writer.createStreams(75000, 16000, nullptr, nullptr), 1);
  const std::vector<std::uint8_t> sound(4000, 0x22);
  EXPECT_EQ(writer.writeAudio(sound.data(), 4000), 1);
  EXPECT_EQ(writer.audioPosition(), 0u);
  const std::vector<std::uint8_t> image = bottomUpGradient(640, 224, 0);
  EXPECT_EQ(writer.writeVideo(0, image.data()), 1);
  writer.close();
  const exporttest::FileSeen seen = readBack(dir.file("silent.avi"));
  ASSERT_EQ(seen.streams.size(), 1u);
  EXPECT_EQ(seen.streams[0].type, AVMEDIA_TYPE_VIDEO);
  EXPECT_EQ(seen.streams[0].packets, 1);
  EXPECT_EQ(av_cmp_q(seen.streams[0].timeBase, AVRational{16000, 75000}), 0);
}

TEST(AviWriter, FailuresSetTheErrorFlagUntilTheNextOpen) {
  testing::TempDir dir;
  const std::vector<std::uint8_t> image = bottomUpGradient(640, 224, 0);
  AviWriter writer;
  EXPECT_EQ(writer.open(dir.file("missing-folder/x.avi")), 0);
  EXPECT_TRUE(writer.failed());
  EXPECT_FALSE(writer.isOpen());
  EXPECT_NE(writer.lastFailure().message().find("missing-folder"), std::string::npos);
  EXPECT_EQ(writer.writeVideo(0, image.data()), 0);

  ASSERT_EQ(writer.open(dir.file("good.avi")), 1);
  EXPECT_FALSE(writer.failed());
  ASSERT_EQ(writer.createStreams(30, 1, nullptr, nullptr), 1);
  ASSERT_EQ(writer.writeVideo(3, image.data()), 1);
  EXPECT_EQ(writer.writeVideo(3, image.data()), 0);
  EXPECT_EQ(writer.lastFailure().code(), StatusCode::InvalidArgument);
  EXPECT_EQ(writer.writeVideo(4, image.data()), 0);

  ASSERT_EQ(writer.open(dir.file("unpadded.avi")), 1);
  EXPECT_FALSE(writer.failed());
  // An image size that leaves the rows unpadded would shift every row.
  const AviVideoFormat unpadded{638, 224, 24, 638u * 3u * 224u};
  EXPECT_EQ(writer.createStreams(30, 1, &unpadded, nullptr), 0);
  EXPECT_EQ(writer.lastFailure().code(), StatusCode::InvalidArgument);
  EXPECT_EQ(writer.writeVideo(0, image.data()), 0);
  writer.close();
  EXPECT_FALSE(writer.failed());

  // A sound format the file cannot hold still makes the video stream, but
  // fails every later write.
  ASSERT_EQ(writer.open(dir.file("adpcm.avi")), 1);
  const AviAudioFormat adpcm{2, 1, 8000, 4096, 256, 4};
  EXPECT_EQ(writer.createStreams(30, 1, nullptr, &adpcm), 0);
  EXPECT_EQ(writer.lastFailure().code(), StatusCode::Unsupported);
  EXPECT_EQ(writer.writeVideo(0, image.data()), 0);
  writer.close();
  const exporttest::FileSeen seen = readBack(dir.file("adpcm.avi"));
  ASSERT_EQ(seen.streams.size(), 1u);
  EXPECT_EQ(seen.streams[0].type, AVMEDIA_TYPE_VIDEO);
}

TEST(AviWriter, FfprobeCountsTheFrames) {
  if (!std::filesystem::exists("/usr/bin/ffprobe")) GTEST_SKIP() << "ffprobe is not installed";
  testing::TempDir dir;
  const std::string path = dir.file("probe.avi");
  AviWriter writer;
  ASSERT_EQ(writer.open(path), 1);
  const AviVideoFormat format{642, 224, 24, 0};
  ASSERT_EQ(writer.createStreams(25, 1, &format, &kStereo16), 1);
  const std::vector<std::uint8_t> sound(3200, 0);
  for (int frame = 0; frame < 7; ++frame) {
    const std::vector<std::uint8_t> image = bottomUpGradient(642, 224, frame);
    ASSERT_EQ(writer.writeVideo(frame, image.data()), 1);
    ASSERT_EQ(writer.writeAudio(sound.data(), 1280), 1);
  }
  writer.close();
  const std::string command =
      "/usr/bin/ffprobe -v error -count_frames -select_streams v:0 -show_entries "
      "stream=nb_read_frames,r_frame_rate -of csv=p=0 '" +
      path + "'";
  FILE* probe = popen(command.c_str(), "r");
  ASSERT_NE(probe, nullptr);
  char line[128] = {};
  const bool read = std::fgets(line, sizeof line, probe) != nullptr;
  EXPECT_EQ(pclose(probe), 0);
  ASSERT_TRUE(read);
  EXPECT_EQ(std::string(line), "25/1,7\n");
}

}  // namespace
}  // namespace marlin
