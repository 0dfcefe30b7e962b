#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "export/avi_formats.h"
#include "export/channel_output_path.h"
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

// One pixel wide, so every 3-byte row of the picture carries a pad byte.
TEST(FullHeightPicture, FieldLinesDoubleTopDownIntoPaddedBottomUpRows) {
  // Field lines from the top: 10, 21, 40 (all three bytes alike); stored bottom-up.
  const std::vector<std::uint8_t> field = {40, 40, 40, 21, 21, 21, 10, 10, 10};
  std::vector<std::uint8_t> picture(6 * 4, 0xEE);
  fieldToFullHeight(field.data(), 1, 3, picture.data());
  // From the top: 10, 15 (15.5 rounded down), 21, 30 (30.5), 40, and the last line repeats 40.
  const std::vector<std::uint8_t> expectedFromTop = {10, 15, 21, 30, 40, 40};
  for (int line = 0; line < 6; ++line) {
    const std::uint8_t* row = picture.data() + (5 - line) * 4;
    EXPECT_EQ(row[0], expectedFromTop[line]) << "line " << line;
    EXPECT_EQ(row[2], expectedFromTop[line]) << "line " << line;
    EXPECT_EQ(row[3], 0) << "pad of line " << line;
  }
}

// Wide rows are averaged many bytes at a time: bytes rising from 0 to 255 against bytes falling, across the whole
// words and the odd rest of a row seven pixels wide, must still come out as their means rounded down.
TEST(FullHeightPicture, LinesBetweenAreMeansRoundedDownAcrossWholeRows) {
  constexpr int kWidth = 7;
  constexpr int kRowBytes = kWidth * 3;
  std::vector<std::uint8_t> field;  // bottom-up: the lower field line first
  for (int pair = 0; pair < 256 * 256; pair += 97) {
    field.push_back(static_cast<std::uint8_t>(pair >> 8));
  }
  field.resize(2 * kRowBytes);
  for (int i = 0; i < kRowBytes; ++i) {
    field[static_cast<std::size_t>(kRowBytes + i)] = static_cast<std::uint8_t>(255 - field[static_cast<std::size_t>(i)] + i);
  }
  const std::uint32_t pictureRow = dibRowBytes(kWidth, 24);
  std::vector<std::uint8_t> picture(4 * pictureRow);
  fieldToFullHeight(field.data(), kWidth, 2, picture.data());
  const std::uint8_t* top = field.data() + kRowBytes;
  const std::uint8_t* bottom = field.data();
  const std::uint8_t* between = picture.data() + 2 * pictureRow;  // line 1 from the top
  for (int i = 0; i < kRowBytes; ++i) {
    EXPECT_EQ(between[i], (top[i] + bottom[i]) / 2) << "byte " << i << ": " << int{top[i]} << ", " << int{bottom[i]};
  }
}

}  // namespace
}  // namespace marlin
