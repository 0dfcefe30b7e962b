#include "export/avi_recorder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "avi_read_back.h"
#include "support/temp_dir.h"

namespace marlin {
namespace {

using namespace avi_result;
using exporttest::bottomUpGradient;
using exporttest::readBack;

// A padded writer image cut down to the sink's rows of exactly width x 3 bytes.
std::vector<std::uint8_t> unpaddedRows(const std::vector<std::uint8_t>& padded, int width, int height) {
  const std::size_t row = static_cast<std::size_t>(width) * 3;
  const std::size_t paddedRow = padded.size() / height;
  std::vector<std::uint8_t> rows(row * height);
  for (int y = 0; y < height; ++y) {
    std::memcpy(rows.data() + y * row, padded.data() + y * paddedRow, row);
  }
  return rows;
}

TEST(AviRecorder, ResultCodesFollowTheState) {
  testing::TempDir dir;
  const std::vector<std::uint8_t> image = bottomUpGradient(320, 224, 0);
  const std::vector<std::uint8_t> sound(100, 0x80);
  const std::string first = dir.file("first.avi");
  const std::string second = dir.file("second.avi");

  AviRecorder cancelled([] { return std::optional<Compression>(); });
  EXPECT_EQ(cancelled.open(first, 24, 320, 224, nullptr, 25), kCompressionCancelled);
  EXPECT_EQ(cancelled.state(), AviRecorder::kIdle);
  EXPECT_FALSE(std::filesystem::exists(first));

  AviRecorder recorder(fixedCompression(Compression::uncompressedDefault()));
  recorder.setAudioFormat(1, 8000);
  EXPECT_EQ(recorder.open("", 24, 320, 224, nullptr, 25), kEmptyFileName);
  EXPECT_EQ(recorder.open(first, 24, 0, 224, nullptr, 25), kBadGeometry);
  EXPECT_EQ(recorder.open(first, 0, 320, 224, nullptr, 25), kBadGeometry);
  EXPECT_EQ(recorder.writeVideo(image.data(), true), kNotRecording);
  EXPECT_EQ(recorder.writeAudio(sound.data(), 100), kNotRecording);
  EXPECT_EQ(recorder.close(), kDone);

  // A recording closed before its first picture leaves no file.
  ASSERT_EQ(recorder.open(first, 24, 320, 224, nullptr, 25), kDone);
  EXPECT_EQ(recorder.state(), AviRecorder::kRecording);
  EXPECT_EQ(recorder.writeVideo(nullptr, true), kNoPicture);
  EXPECT_EQ(recorder.close(), kDone);
  EXPECT_EQ(recorder.state(), AviRecorder::kIdle);
  EXPECT_FALSE(std::filesystem::exists(first));

  // Opening again while recording finishes the first file, frames and all;
  // A-law sound is stored as it came.
  recorder.setAudioFormat(5, 8000);
  ASSERT_EQ(recorder.open(first, 24, 320, 224, nullptr, 25), kDone);
  EXPECT_EQ(recorder.writeVideo(image.data(), true), kWritten);
  EXPECT_EQ(recorder.writeVideo(image.data(), false), kWritten);
  EXPECT_EQ(recorder.writeAudio(sound.data(), 100), kWritten);
  ASSERT_EQ(recorder.open(second, 24, 320, 224, nullptr, 25), kDone);
  EXPECT_EQ(recorder.framesWritten(), 0);
  const exporttest::FileSeen seen = readBack(first);
  ASSERT_TRUE(seen.opened);
  ASSERT_NE(seen.stream(AVMEDIA_TYPE_VIDEO), nullptr);
  EXPECT_EQ(seen.stream(AVMEDIA_TYPE_VIDEO)->packets, 2);
  ASSERT_NE(seen.stream(AVMEDIA_TYPE_AUDIO), nullptr);
  EXPECT_EQ(seen.stream(AVMEDIA_TYPE_AUDIO)->codec, AV_CODEC_ID_PCM_ALAW);
  EXPECT_EQ(seen.stream(AVMEDIA_TYPE_AUDIO)->bytes, 100);
  EXPECT_EQ(recorder.close(), kDone);
  EXPECT_FALSE(std::filesystem::exists(second));

  // A geometry the writer cannot store is a refused format, and no file.
  EXPECT_EQ(recorder.open(second, 16, 320, 224, nullptr, 25), kFormatRefused);
  EXPECT_EQ(recorder.state(), AviRecorder::kIdle);
  EXPECT_FALSE(std::filesystem::exists(second));
}

TEST(AviRecorder, SinkFramesAndSoundReadBackAtTheCaptureRate) {
  testing::TempDir dir;
  const std::string path = dir.file("capture.avi");
  // 638 pixels: 1914-byte sink rows, stored padded to 1916.
  const int width = 638;
  const int height = 224;
  AviRecorder recorder(fixedCompression(Compression::uncompressedDefault()));
  recorder.setAudioFormat(3, 8000);
  ASSERT_EQ(recorder.open(path, 24, width, height, nullptr, 12), kDone);
  EXPECT_EQ(recorder.frameWidth(), width);
  EXPECT_EQ(recorder.frameHeight(), height);
  std::vector<std::vector<std::uint8_t>> images;
  for (int frame = 0; frame < 3; ++frame) {
    images.push_back(bottomUpGradient(width, height, frame));
    recorder.writeFrame(unpaddedRows(images.back(), width, height).data());
  }
  const std::vector<std::uint8_t> sound(1001, 0x10);
  EXPECT_EQ(recorder.writeAudio(sound.data(), 1001), kWritten);
  EXPECT_EQ(recorder.writeAudio(sound.data(), 600), kWritten);
  EXPECT_EQ(recorder.framesWritten(), 3);
  EXPECT_EQ(recorder.audioSamplesWritten(), 800u);
  ASSERT_EQ(recorder.close(), kDone);

  const exporttest::FileSeen seen = readBack(path);
  ASSERT_TRUE(seen.opened);
  const exporttest::StreamSeen* video = seen.stream(AVMEDIA_TYPE_VIDEO);
  const exporttest::StreamSeen* audio = seen.stream(AVMEDIA_TYPE_AUDIO);
  ASSERT_NE(video, nullptr);
  ASSERT_NE(audio, nullptr);
  EXPECT_EQ(video->packets, 3);
  EXPECT_EQ(av_cmp_q(video->frameRate, AVRational{12, 1}), 0);
  EXPECT_EQ(exporttest::meanDifference(seen.firstPicture, images.front(), width, height), 0);
  EXPECT_EQ(exporttest::meanDifference(seen.lastPicture, images.back(), width, height), 0);
  EXPECT_EQ(audio->codec, AV_CODEC_ID_PCM_S16LE);
  EXPECT_EQ(audio->sampleRate, 8000);
  EXPECT_EQ(audio->bytes / audio->blockAlign, 800);
}

}  // namespace
}  // namespace marlin
