#include "export/export_job.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "avi_read_back.h"
#include "export/compression_choice.h"
#include "picture_recording.h"
#include "support/synthetic_recording.h"
#include "support/temp_dir.h"
#include "support/wait_until.h"

namespace marlin {
namespace {

using exporttest::expectedFullPicture;
using exporttest::makePictureRecording;
using exporttest::PictureRecording;
using exporttest::readBack;

// Below the time stamp's band every pixel must be the decoder's.
constexpr int kStampBand = 40;

// Runs the job to its end, then waits for its thread.
Status exportToEnd(ExportJob& job, const std::string& input, const std::string& output) {
  if (Status opened = job.openInput(input, false); !opened) return opened;
  if (Status prepared = job.prepare(output); !prepared) return prepared;
  job.start();
  if (!testing::waitUntil([&] { return job.done(); })) return Status::failure(StatusCode::Busy, "the job did not end");
  job.stop();
  return Status::ok();
}

// rec.QKV in dir: pictures of the channels, no sound.
void writeRecording(const testing::TempDir& dir, unsigned channels, unsigned picturesPerChannel) {
  exporttest::PictureRecordingOptions options;
  options.channels = channels;
  options.picturesPerChannel = picturesPerChannel;
  testing::writeFile(dir.file("rec.QKV"), makePictureRecording(options).bytes);
}

bool sameBelowStamp(const std::vector<std::uint8_t>& seen, const std::vector<std::uint8_t>& expected, int width) {
  const std::size_t from = static_cast<std::size_t>(kStampBand) * width * 3;
  return seen.size() == expected.size() && std::equal(seen.begin() + from, seen.end(), expected.begin() + from);
}

int whitePixelsInStampBand(const std::vector<std::uint8_t>& topDown, int width) {
  int white = 0;
  for (int y = 6; y < 30; ++y) {
    for (int x = 6; x < 200; ++x) {
      const std::uint8_t* pixel = &topDown[(static_cast<std::size_t>(y) * width + x) * 3];
      white += pixel[0] == 255 && pixel[1] == 255 && pixel[2] == 255;
    }
  }
  return white;
}

// Counts the pictures previewed and keeps the size of the last.
class PreviewCount final : public ExportPreview {
 public:
  void showExportedPicture(int, const std::uint8_t*, int width, int height) override {
    ++shown;
    lastWidth = width;
    lastHeight = height;
  }
  int shown = 0;
  int lastWidth = 0;
  int lastHeight = 0;
};

TEST(ExportJob, EachChannelWithPicturesGetsAFileOfItsPicturesSoundAndStamp) {
  testing::TempDir dir;
  exporttest::PictureRecordingOptions options;
  options.channels = 2;
  options.picturesPerChannel = 6;
  options.soundSamples = 800;
  const PictureRecording recording = makePictureRecording(options);
  testing::writeFile(dir.file("rec.QKV"), recording.bytes);

  ExportJob job;
  PreviewCount preview;
  job.setPreview(&preview);
  // Channel 3 is ticked too, but has no pictures: it gets no file.
  job.setChannelMask(0b111);
  ASSERT_TRUE(exportToEnd(job, dir.file("rec.QKV"), dir.file("out.avi")));
  // The first picture is always previewed, the others at most every 40 ms.
  EXPECT_GE(preview.shown, 1);
  EXPECT_LE(preview.shown, 12);
  EXPECT_EQ(preview.lastWidth, 640);
  EXPECT_EQ(preview.lastHeight, 448);
  EXPECT_FALSE(std::filesystem::exists(dir.file("out-CH3.avi")));
  ASSERT_EQ(job.results().size(), 2u);
  EXPECT_TRUE(job.hasAudio());
  EXPECT_EQ(job.damagedStretches(), 0u);

  for (int channel = 0; channel < 2; ++channel) {
    SCOPED_TRACE("channel " + std::to_string(channel + 1));
    const std::string path = dir.file("out-CH" + std::to_string(channel + 1) + ".avi");
    const exporttest::FileSeen file = readBack(path);
    ASSERT_TRUE(file.opened);
    ASSERT_EQ(file.streams.size(), 2u);
    const exporttest::StreamSeen* video = file.stream(AVMEDIA_TYPE_VIDEO);
    const exporttest::StreamSeen* sound = file.stream(AVMEDIA_TYPE_AUDIO);
    ASSERT_NE(video, nullptr);
    ASSERT_NE(sound, nullptr);
    EXPECT_EQ(video->codec, AV_CODEC_ID_RAWVIDEO);
    EXPECT_EQ(video->packets, 6);
    EXPECT_EQ(job.results()[static_cast<std::size_t>(channel)].framesWritten, 6u);
    // Six pictures over the file's own sound: 6 x 800 samples at 8000 Hz is 0.6 s, channel 2's half of that.
    const int soundMilliseconds = channel == 0 ? 600 : 300;
    EXPECT_EQ(av_cmp_q(video->timeBase, AVRational{soundMilliseconds, 6000}), 0)
        << video->timeBase.num << "/" << video->timeBase.den;
    EXPECT_EQ(sound->codec, AV_CODEC_ID_PCM_U8);
    EXPECT_EQ(sound->sampleRate, 8000);
    // Sound on two audio channels is a microphone per camera: each file takes its own.
    EXPECT_EQ(sound->bytes, static_cast<std::int64_t>(recording.soundBytes[channel]));

    int width = 0;
    int height = 0;
    const auto first = expectedFullPicture(recording.coded[channel].front(), width, height);
    const auto last = expectedFullPicture(recording.coded[channel].back(), width, height);
    EXPECT_EQ(video->width, width);
    EXPECT_EQ(video->height, height);
    EXPECT_TRUE(sameBelowStamp(file.firstPicture, first, width));
    EXPECT_TRUE(sameBelowStamp(file.lastPicture, last, width));
    EXPECT_GT(whitePixelsInStampBand(file.lastPicture, width), 50);
    EXPECT_EQ(whitePixelsInStampBand(last, width), 0);
  }
}

// Whatever the recorder configured, the recording's own sound decides: one microphone on audio channel 0 is heard
// in every file; with sound on channels 0 and 1 each camera gets its own, and a third camera none.
TEST(ExportJob, EachFileCarriesOneMicrophoneChosenByTheSoundRecorded) {
  for (const bool oneMicrophone : {true, false}) {
    SCOPED_TRACE(oneMicrophone ? "one microphone" : "a microphone per camera");
    testing::TempDir dir;
    exporttest::PictureRecordingOptions options;
    options.channels = 3;
    options.picturesPerChannel = 3;
    options.soundSamples = 800;
    options.oneMicrophone = oneMicrophone;
    const PictureRecording recording = makePictureRecording(options);
    testing::writeFile(dir.file("rec.QKV"), recording.bytes);
    ExportJob job;
    // A recorder with one microphone: the routing must not follow it when the recording says otherwise.
    job.configureForRecorder(kVariantQkt2);
    ASSERT_TRUE(exportToEnd(job, dir.file("rec.QKV"), dir.file("out.avi")));
    const std::int64_t expected[3] = {
        static_cast<std::int64_t>(recording.soundBytes[0]),
        static_cast<std::int64_t>(oneMicrophone ? recording.soundBytes[0] : recording.soundBytes[1]),
        oneMicrophone ? static_cast<std::int64_t>(recording.soundBytes[0]) : 0};
    for (int channel = 0; channel < 3; ++channel) {
      SCOPED_TRACE("channel " + std::to_string(channel + 1));
      const exporttest::FileSeen file = readBack(dir.file("out-CH" + std::to_string(channel + 1) + ".avi"));
      ASSERT_NE(file.stream(AVMEDIA_TYPE_VIDEO), nullptr);
      const exporttest::StreamSeen* sound = file.stream(AVMEDIA_TYPE_AUDIO);
      EXPECT_EQ(sound != nullptr ? sound->bytes : 0, expected[channel]);
      EXPECT_EQ(sound != nullptr, expected[channel] != 0) << "a file without sound has no sound stream";
    }
  }
}

TEST(ExportJob, ReadsOnPastALongDamagedStretchToTheLastPicture) {
  testing::TempDir dir;
  exporttest::PictureRecordingOptions options;
  options.channels = 1;
  options.picturesPerChannel = 60;
  PictureRecording recording = makePictureRecording(options);
  // 40 damaged blocks in the middle: the pictures lying in them are lost.
  constexpr std::size_t kBlock = 4096;
  const std::size_t firstBad = recording.bytes.size() / kBlock / 2 - 20;
  for (std::size_t block = firstBad; block < firstBad + 40; ++block) synth::corruptBlock(recording.bytes, block);
  testing::writeFile(dir.file("damaged.QKV"), recording.bytes);
  std::size_t intactAfter = 0;
  std::size_t intactBefore = 0;
  for (std::size_t i = 0; i < recording.begins[0].size(); ++i) {
    intactAfter += recording.begins[0][i] >= (firstBad + 40) * kBlock;
    intactBefore += recording.ends[0][i] <= firstBad * kBlock;
  }
  ASSERT_GT(intactAfter, 5u);

  ExportJob job;
  job.setStamping(false);
  ASSERT_TRUE(exportToEnd(job, dir.file("damaged.QKV"), dir.file("out.avi")));
  EXPECT_EQ(job.damagedStretches(), 1u);
  const exporttest::FileSeen file = readBack(dir.file("out-CH1.avi"));
  const exporttest::StreamSeen* video = file.stream(AVMEDIA_TYPE_VIDEO);
  ASSERT_NE(video, nullptr);
  // The picture whose end the damage hides is lost with it; every one after it is there.
  EXPECT_GE(static_cast<std::size_t>(video->packets), intactBefore - 1 + intactAfter);
  EXPECT_LE(static_cast<std::size_t>(video->packets), intactBefore + intactAfter);
  int width = 0;
  int height = 0;
  EXPECT_EQ(file.lastPicture, expectedFullPicture(recording.coded[0].back(), width, height));
}

TEST(ExportJob, FailedPreparationRemovesTheFilesItMadeAndSaysWhichFailed) {
  testing::TempDir dir;
  writeRecording(dir, 3, 2);
  // Channel 2's file cannot be made: a folder holds its name.
  std::filesystem::create_directory(dir.file("out-CH2.avi"));

  ExportJob job;
  ASSERT_TRUE(job.openInput(dir.file("rec.QKV"), false));
  const Status prepared = job.prepare(dir.file("out.avi"));
  ASSERT_FALSE(prepared);
  EXPECT_NE(prepared.message().find("channel 2"), std::string::npos) << prepared.message();
  EXPECT_NE(prepared.message().find("Is a directory"), std::string::npos) << prepared.message();
  EXPECT_FALSE(std::filesystem::exists(dir.file("out-CH1.avi")));
  EXPECT_FALSE(std::filesystem::exists(dir.file("out-CH3.avi")));
  EXPECT_TRUE(job.results().empty());
}

// Writes past a size fail in this process while it lives (EFBIG, the signal ignored), as on a disk that fills up.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) : previousSignal_(std::signal(SIGXFSZ, SIG_IGN)) {
    ::getrlimit(RLIMIT_FSIZE, &saved_);
    const rlimit limit{bytes, saved_.rlim_max};
    ::setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, previousSignal_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit saved_{};
  void (*previousSignal_)(int);
};

TEST(ExportJob, AFileThatCannotBeWrittenStopsAloneAndTheOthersGoOn) {
  testing::TempDir dir;
  exporttest::PictureRecordingOptions options;
  options.channels = 2;
  options.picturesPerChannel = 2;
  // Channel 2 records three pictures first, so its file fills up while channel 1's has all of it still to come.
  options.leadingPicturesOfLastChannel = 3;
  testing::writeFile(dir.file("rec.QKV"), makePictureRecording(options).bytes);
  ExportJob job;
  {
    // Room for two of the 860,160-byte pictures and the headers, not for a third.
    const FileSizeLimit limit(2'200'000);
    ASSERT_TRUE(exportToEnd(job, dir.file("rec.QKV"), dir.file("out.avi")));
  }
  const std::vector<ChannelExportResult> results = job.results();
  ASSERT_EQ(results.size(), 2u);
  EXPECT_TRUE(results[0].failure) << results[0].failure.message();
  EXPECT_EQ(results[0].framesWritten, 2u);
  EXPECT_FALSE(results[1].failure);
  EXPECT_NE(results[1].failure.message().find(std::strerror(EFBIG)), std::string::npos) << results[1].failure.message();
  EXPECT_EQ(results[1].framesWritten, 2u);
  const exporttest::FileSeen kept = readBack(dir.file("out-CH1.avi"));
  ASSERT_NE(kept.stream(AVMEDIA_TYPE_VIDEO), nullptr);
  EXPECT_EQ(kept.stream(AVMEDIA_TYPE_VIDEO)->packets, 2);
}

TEST(ExportJob, StopEndsTheWritingEarlyWithPlayableFiles) {
  testing::TempDir dir;
  writeRecording(dir, 1, 200);
  ExportJob job;
  ASSERT_TRUE(job.openInput(dir.file("rec.QKV"), false));
  ASSERT_TRUE(job.prepare(dir.file("out.avi")));
  job.start();
  ASSERT_TRUE(testing::waitUntil([&] { return job.picturesWritten() >= 3 || job.done(); }));
  job.stop();
  EXPECT_TRUE(job.done());
  const exporttest::FileSeen file = readBack(dir.file("out-CH1.avi"));
  ASSERT_TRUE(file.opened);
  EXPECT_LT(job.picturesWritten(), 200u);
  EXPECT_EQ(file.stream(AVMEDIA_TYPE_VIDEO)->packets, static_cast<int>(job.picturesWritten()));
}

// A recorder that stores a picture a second per camera, where its declared rate says fifteen: MP4 and Matroska
// files show each picture at its block's second, however many threads write them, and AVI keeps the constant rate.
TEST(ExportJob, BlockTimedFilesKeepTheRecordersClockWhateverTheThreads) {
  testing::TempDir dir;
  exporttest::PictureRecordingOptions options;
  options.channels = 3;
  options.picturesPerChannel = 5;
  options.soundSamples = 800;
  testing::writeFile(dir.file("rec.QKV"), makePictureRecording(options).bytes);
  Compression h264;
  h264.codec = VideoCodec::H264;
  h264.keyFrameInterval = 0;
  const auto exportWith = [&](unsigned threads, const std::string& output) {
    ExportJob job;
    compression_choice::set(h264);
    job.setThreads(threads);
    job.setTimeTrack(true);
    EXPECT_TRUE(exportToEnd(job, dir.file("rec.QKV"), dir.file(output)));
    return job.results();
  };
  const std::vector<ChannelExportResult> one = exportWith(1, "one.mp4");
  const std::vector<ChannelExportResult> four = exportWith(4, "four.mp4");
  ASSERT_EQ(one.size(), 3u);
  ASSERT_EQ(four.size(), 3u);
  for (int channel = 1; channel <= 3; ++channel) {
    SCOPED_TRACE("channel " + std::to_string(channel));
    const std::string suffix = "-CH" + std::to_string(channel) + ".mp4";
    EXPECT_EQ(testing::readFile(dir.file("one" + suffix)), testing::readFile(dir.file("four" + suffix)));
    EXPECT_EQ(one[static_cast<std::size_t>(channel - 1)].timing, FileTiming::BlockTime);
  }
  EXPECT_DOUBLE_EQ(one[0].seconds(), 5.0);

  const exporttest::FileSeen file = readBack(dir.file("one-CH1.mp4"));
  ASSERT_TRUE(file.opened);
  const exporttest::StreamSeen* video = file.stream(AVMEDIA_TYPE_VIDEO);
  const exporttest::StreamSeen* text = file.stream(AVMEDIA_TYPE_SUBTITLE);
  ASSERT_NE(video, nullptr);
  ASSERT_NE(text, nullptr);
  ASSERT_EQ(video->packets, 5);
  // A second apart, after the sound encoder's lead-in, which moves every track alike.
  const std::int64_t leadIn = video->packetMilliseconds[0];
  EXPECT_LT(leadIn, 200);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(video->packetMilliseconds[static_cast<std::size_t>(i)], leadIn + 1000 * i);
  EXPECT_EQ(text->codec, AV_CODEC_ID_MOV_TEXT);
  // The block time once a second; the muxer's empty samples (a length of 0 alone) end each one.
  std::vector<std::int64_t> texts;
  for (std::size_t i = 0; i < text->packetSizes.size(); ++i) {
    if (text->packetSizes[i] > 2) texts.push_back(text->packetMilliseconds[i]);
  }
  EXPECT_EQ(texts, (std::vector<std::int64_t>{leadIn, leadIn + 1000, leadIn + 2000, leadIn + 3000, leadIn + 4000}));

  ExportJob avi;
  compression_choice::set(h264);
  ASSERT_TRUE(exportToEnd(avi, dir.file("rec.QKV"), dir.file("constant.avi")));
  EXPECT_NE(avi.results()[0].timing, FileTiming::BlockTime);
  EXPECT_LT(avi.results()[0].seconds(), 1.0);
}

}  // namespace
}  // namespace marlin
