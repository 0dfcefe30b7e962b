#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "avi_read_back.h"
#include "export/avi_writer.h"
#include "export/compression_choice.h"
#include "support/temp_dir.h"

namespace marlin {
namespace {

using exporttest::bottomUpGradient;
using exporttest::readBack;

constexpr AviVideoFormat kPicture{640, 448, 24, 0};
constexpr AviAudioFormat kUnsigned8{kWaveFormatPcm, 1, 8000, 8000, 1, 8};

// Ten pictures at 10 a second with a second of 8-bit sound.
exporttest::FileSeen writeClip(const std::string& path, VideoCodec codec) {
  AviWriter writer;
  compression_choice::set(Compression{codec, 10, -1, 0});
  if (writer.open(path) != 1 || writer.createStreams(10, 1, &kPicture, &kUnsigned8) != 1) {
    ADD_FAILURE() << writer.lastFailure().message();
    return {};
  }
  const std::vector<std::uint8_t> sound(800, 0x90);
  for (int frame = 0; frame < 10; ++frame) {
    EXPECT_EQ(writer.writeVideo(frame, bottomUpGradient(640, 448, frame).data()), 1);
    EXPECT_EQ(writer.writeAudio(sound.data(), 800), 1);
  }
  writer.close();
  return readBack(path);
}

TEST(Containers, MatroskaKeepsThePcmSoundAndMp4MakesItAac) {
  testing::TempDir dir;
  const exporttest::FileSeen mkv = writeClip(dir.file("clip.mkv"), VideoCodec::H264);
  ASSERT_TRUE(mkv.opened);
  ASSERT_NE(mkv.stream(AVMEDIA_TYPE_AUDIO), nullptr);
  EXPECT_EQ(mkv.stream(AVMEDIA_TYPE_AUDIO)->codec, AV_CODEC_ID_PCM_U8);
  EXPECT_EQ(mkv.stream(AVMEDIA_TYPE_AUDIO)->bytes, 8000);
  EXPECT_EQ(mkv.stream(AVMEDIA_TYPE_VIDEO)->codec, AV_CODEC_ID_H264);
  EXPECT_EQ(mkv.stream(AVMEDIA_TYPE_VIDEO)->packets, 10);
  // Upright: the gradient's top row read back is the last row written.
  EXPECT_LT(exporttest::meanDifference(mkv.lastPicture, bottomUpGradient(640, 448, 9), 640, 448), 4.0);

  const exporttest::FileSeen mp4 = writeClip(dir.file("clip.mp4"), VideoCodec::H264);
  ASSERT_TRUE(mp4.opened);
  ASSERT_NE(mp4.stream(AVMEDIA_TYPE_AUDIO), nullptr);
  EXPECT_EQ(mp4.stream(AVMEDIA_TYPE_AUDIO)->codec, AV_CODEC_ID_AAC);
  EXPECT_EQ(mp4.stream(AVMEDIA_TYPE_AUDIO)->sampleRate, 8000);
  // 8000 samples in frames of 1024, the last one partial, after the encoder's priming frame.
  EXPECT_GE(mp4.stream(AVMEDIA_TYPE_AUDIO)->packets, 8);
  EXPECT_EQ(mp4.stream(AVMEDIA_TYPE_VIDEO)->packets, 10);
}

TEST(Containers, UncompressedPicturesAreRefusedOutsideAvi) {
  testing::TempDir dir;
  AviWriter writer;
  ASSERT_EQ(writer.open(dir.file("raw.mkv")), 1);
  EXPECT_EQ(writer.createStreams(10, 1, &kPicture, nullptr), 0);
  EXPECT_NE(writer.lastFailure().message().find(".avi files only"), std::string::npos)
      << writer.lastFailure().message();
}

}  // namespace
}  // namespace marlin
