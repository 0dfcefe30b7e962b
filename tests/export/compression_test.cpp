#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "avi_read_back.h"
#include "export/avi_writer.h"
#include "export/compression_choice.h"
#include "support/temp_dir.h"

namespace marlin {
namespace {

TEST(CompressionChoice, EveryWriterStartsUncompressedAndACancelLeavesZeroes) {
  compression_choice::set({VideoCodec::Mjpeg, 12, 8000, 0});
  {
    AviWriter writer;
    EXPECT_EQ(compression_choice::current(), Compression::uncompressedDefault());
    EXPECT_EQ(compression_choice::current().keyFrameInterval, 1);
    EXPECT_EQ(compression_choice::current().quality, -1);
  }
  compression_choice::zero();
  EXPECT_EQ(compression_choice::current(), (Compression{VideoCodec::Uncompressed, 0, 0, 0}));
  AviWriter next;
  EXPECT_EQ(compression_choice::current(), Compression::uncompressedDefault());
}

TEST(CompressionChoice, OffersWhatTheBuildEncodesWithTheEncodersNames) {
  const std::vector<VideoCodec> offered = offeredVideoCodecs();
  ASSERT_FALSE(offered.empty());
  EXPECT_EQ(offered.front(), VideoCodec::Uncompressed);
  EXPECT_EQ(compressorDescription(VideoCodec::Uncompressed), "");
  // Debian's FFmpeg carries these encoders itself.
  for (VideoCodec codec : {VideoCodec::Mjpeg, VideoCodec::Mpeg4, VideoCodec::Ffv1}) {
    EXPECT_NE(std::find(offered.begin(), offered.end(), codec), offered.end());
  }
  EXPECT_EQ(compressorDescription(VideoCodec::Mjpeg), "MJPEG (Motion JPEG)");
}

TEST(CompressedAvi, EveryOfferedCodecStoresThePicturesUpright) {
  struct Expected {
    VideoCodec codec;
    AVCodecID id;
    double tolerance;  // mean difference per byte
  };
  const Expected cases[] = {{VideoCodec::Mjpeg, AV_CODEC_ID_MJPEG, 4},
                            {VideoCodec::Mpeg4, AV_CODEC_ID_MPEG4, 4},
                            {VideoCodec::Ffv1, AV_CODEC_ID_FFV1, 0},
                            {VideoCodec::H264, AV_CODEC_ID_H264, 4}};
  const std::vector<VideoCodec> offered = offeredVideoCodecs();
  testing::TempDir dir;
  // 642 pixels make rows padded by 2 bytes.
  const int width = 642;
  const int height = 224;
  const int frames = 4;
  for (const Expected& expected : cases) {
    if (std::find(offered.begin(), offered.end(), expected.codec) == offered.end()) continue;
    SCOPED_TRACE(compressorDescription(expected.codec));
    const std::string path = dir.file("compressed.avi");
    AviWriter writer;
    compression_choice::set({expected.codec, 2, 9000, 0});
    const AviVideoFormat format{width, height, 24, 0};
    ASSERT_EQ(writer.open(path), 1);
    ASSERT_EQ(writer.createStreams(25, 1, &format, nullptr), 1) << writer.lastFailure().message();
    std::vector<std::uint8_t> last;
    for (int frame = 0; frame < frames; ++frame) {
      last = exporttest::bottomUpGradient(width, height, frame);
      ASSERT_EQ(writer.writeVideo(frame, last.data()), 1) << writer.lastFailure().message();
    }
    writer.close();

    const exporttest::FileSeen seen = exporttest::readBack(path);
    ASSERT_EQ(seen.streams.size(), 1u);
    EXPECT_EQ(seen.streams[0].codec, expected.id);
    EXPECT_EQ(seen.streams[0].packets, frames);
    EXPECT_EQ(av_cmp_q(seen.streams[0].frameRate, AVRational{25, 1}), 0);
    EXPECT_LE(
        exporttest::meanDifference(seen.firstPicture, exporttest::bottomUpGradient(width, height, 0), width, height),
        expected.tolerance);
    EXPECT_LE(exporttest::meanDifference(seen.lastPicture, last, width, height), expected.tolerance);
  }
  compression_choice::reset();
}

}  // namespace
}  // namespace marlin
