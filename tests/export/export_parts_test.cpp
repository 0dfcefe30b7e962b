#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "codec/colour_convert.h"
#include "export/avi_formats.h"
#include "export/channel_output_path.h"
#include "export/container.h"
#include "export/export_sound_format.h"
#include "export/export_timing.h"
#include "export/full_height_picture.h"

namespace marlin {
namespace {

TEST(ChannelOutputPath, TagGoesBeforeTheFileNamesLastDotOrAtTheEnd) {
  EXPECT_EQ(channelOutputPath("/clips/rec.avi", 1), "/clips/rec-CH1.avi");
  EXPECT_EQ(channelOutputPath("/clips/rec.avi", 16), "/clips/rec-CH16.avi");
  EXPECT_EQ(channelOutputPath("/clips/rec.2010.mkv", 3), "/clips/rec.2010-CH3.mkv");
  EXPECT_EQ(channelOutputPath("/clips/rec", 1), "/clips/rec-CH1");
  EXPECT_EQ(channelOutputPath("rec", 2), "rec-CH2");
  // A dot in a folder's name is no extension of the file's.
  EXPECT_EQ(channelOutputPath("/clips.old/rec", 4), "/clips.old/rec-CH4");
}

TEST(ContainerName, OnlyKnownExtensionsNameAContainerAndNoneBecomesAvi) {
  EXPECT_EQ(containerOf("/clips/rec.AVI"), Container::Avi);
  EXPECT_EQ(containerOf("rec.Mkv"), Container::Matroska);
  EXPECT_EQ(containerOf("rec.mp4"), Container::Mp4);
  EXPECT_EQ(containerOf("rec.wav"), std::nullopt);
  EXPECT_EQ(containerOf("/clips.mkv/rec"), std::nullopt);
  EXPECT_EQ(withDefaultExtension("/clips.old/rec"), "/clips.old/rec.avi");
  EXPECT_EQ(withDefaultExtension("rec.wav"), "rec.wav");
  EXPECT_EQ(unknownContainer("rec.wav").message(),
            "rec.wav: unknown extension \".wav\"; the files written are .avi, .mkv and .mp4");
}

TEST(ExportTiming, RecordedRateSharesTheFieldRateAmongTheMasksChannels) {
  // Four channels of 240-line fields, a picture every period, variant 4: 60 fields shared by four.
  EXPECT_EQ(recordedVideoRate(240, 4, 0, 0x000F), (StreamRate{60, 4}));
  // Variants 0 and 2 count frames, not fields; PAL's 272 lines run at 25.
  EXPECT_EQ(recordedVideoRate(272, 0, 0, 0x0001), (StreamRate{25, 1}));
  EXPECT_EQ(recordedVideoRate(272, 5, 2, 0x0003), (StreamRate{50, 6}));
  EXPECT_EQ(recordedVideoRate(224, 2, 1, 0x8001), (StreamRate{30, 4}));
}

TEST(ExportTiming, SoundPacedRateSpreadsThePicturesOverTheSound) {
  const StreamRate fallback{60, 4};
  // 900 pictures over 60 s of 8000 Hz sound.
  EXPECT_EQ(soundPacedRate(900, 480000, 8000, fallback), (StreamRate{900000, 60000}));
  EXPECT_EQ(soundPacedRate(900, 0, 8000, fallback), fallback);
  EXPECT_EQ(soundPacedRate(0, 480000, 8000, fallback), fallback);
  // Past 32 bits the thousandths no longer fit a stream header.
  EXPECT_EQ(soundPacedRate(5'000'000, 480000, 8000, fallback), fallback);
}

TEST(ExportSoundFormat, EachRecorderCodecGetsItsStoredFormat) {
  const ExportSoundFormat signed8 = exportSoundFormat(2, 8000);
  EXPECT_TRUE(signed8.convert);
  EXPECT_EQ(signed8.format.bitsPerSample, 8);
  const ExportSoundFormat aLaw = exportSoundFormat(5, 8000);
  EXPECT_FALSE(aLaw.convert);
  EXPECT_EQ(aLaw.format.formatTag, kWaveFormatALaw);
  const ExportSoundFormat muLaw = exportSoundFormat(6, 11025);
  EXPECT_TRUE(muLaw.convert);
  EXPECT_EQ(muLaw.format.blockAlign, 2);
  EXPECT_EQ(muLaw.format.avgBytesPerSecond, 22050u);
  EXPECT_FALSE(exportSoundFormat(4, 8000).convert);
  EXPECT_EQ(exportSoundFormat(9, 8000).format.bitsPerSample, 8);
}

// Six pixels wide, so every 18-byte row of the picture carries two pad bytes; the field's rows come from ToDib24,
// and the rule counts rows bottom-up.
TEST(FullHeightPicture, FieldRowsDoubleBottomUpIntoPaddedRows) {
  constexpr int kWidth = 6;
  constexpr int kFieldHeight = 4;
  constexpr int kHeight = 2 * kFieldHeight;
  constexpr std::size_t kLineBytes = kWidth * 3;
  std::vector<std::uint8_t> yuv(kWidth * kFieldHeight * 3 / 2);
  std::srand(11);
  for (std::uint8_t& value : yuv) value = static_cast<std::uint8_t>(std::rand() & 0xFF);
  std::vector<std::uint8_t> field(kLineBytes * kFieldHeight);
  ToDib24(field.data(), yuv.data(), kWidth, kFieldHeight);
  const auto fieldRow = [&](int i) { return field.data() + i * kLineBytes; };

  const std::uint32_t pictureRow = dibRowBytes(kWidth, 24);
  std::vector<std::uint8_t> picture(kHeight * pictureRow, 0xEE);
  fieldToFullHeight(yuv.data(), kWidth, kFieldHeight, picture.data());
  for (int i = 0; i < kHeight; ++i) {
    const std::uint8_t* row = picture.data() + i * pictureRow;
    const bool copied = i % 2 == 0 || i == kHeight - 1;
    for (std::size_t b = 0; b < kLineBytes; ++b) {
      const int below = fieldRow(i / 2)[b];
      const int wanted = copied ? below : (below + fieldRow(i / 2 + 1)[b]) / 2;
      ASSERT_EQ(row[b], wanted) << "row " << i << " byte " << b;
    }
    EXPECT_EQ(row[kLineBytes], 0) << "pad of row " << i;
    EXPECT_EQ(row[kLineBytes + 1], 0) << "pad of row " << i;
  }
}

}  // namespace
}  // namespace marlin
