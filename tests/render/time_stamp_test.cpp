#include "render/time_stamp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "render/bitmap_font_painter.h"

namespace marlin {
namespace {

constexpr int kWidth = 200;
constexpr int kHeight = 60;
constexpr std::uint8_t kGrey = 128;

// The B, G, R of top-down (x, y) in a bottom-up picture, as one value.
std::uint32_t pixelAt(const std::vector<std::uint8_t>& picture, int x, int y) {
  const std::uint8_t* px = picture.data() + (static_cast<std::size_t>(kHeight - 1 - y) * kWidth + x) * 3;
  return static_cast<std::uint32_t>(px[0]) << 16 | px[1] << 8 | px[2];
}

// With the bitmap font every stamped pixel is pure white or black, so the
// placement can be checked exactly.
TEST(TimeStamp, WhiteTextAtEightEightOverDiagonalBlackCopiesCountedFromTheTop) {
  std::vector<std::uint8_t> picture(static_cast<std::size_t>(kWidth) * kHeight * 3, kGrey);
  BitmapFontPainter painter;
  Canvas band;
  stampBottomUpBgr24(picture.data(), kWidth, kHeight, kWidth * 3, "2009/03/05 14:22:07", painter, band);
  const TextExtent extent = painter.measureText("2009/03/05 14:22:07", timeStampFont());

  int whiteTop = kHeight;
  int whiteLeft = kWidth;
  int blackTop = kHeight;
  int blackLeft = kWidth;
  int lowestChanged = -1;
  int whiteWithoutOutline = 0;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const std::uint32_t colour = pixelAt(picture, x, y);
      if (colour == 0xFFFFFF) {
        whiteTop = std::min(whiteTop, y);
        whiteLeft = std::min(whiteLeft, x);
        for (const int dy : {-1, 1}) {
          for (const int dx : {-1, 1}) {
            const std::uint32_t beside = pixelAt(picture, x + dx, y + dy);
            whiteWithoutOutline += beside != 0xFFFFFF && beside != 0;
          }
        }
      } else if (colour == 0) {
        blackTop = std::min(blackTop, y);
        blackLeft = std::min(blackLeft, x);
      } else {
        ASSERT_EQ(colour, 0x808080u) << x << "," << y;
        continue;
      }
      lowestChanged = std::max(lowestChanged, y);
    }
  }
  EXPECT_EQ(whiteTop, 8);
  EXPECT_GE(whiteLeft, 8);
  EXPECT_EQ(blackTop, whiteTop - 1);
  EXPECT_EQ(blackLeft, whiteLeft - 1);
  EXPECT_EQ(whiteWithoutOutline, 0);
  EXPECT_LE(lowestChanged, 8 + extent.height);
  EXPECT_GT(lowestChanged, 8 + extent.height / 2);
}

// A picture lower than the stamp keeps its size: only its rows are drawn.
TEST(TimeStamp, StaysInsideAPictureShorterThanTheText) {
  const std::size_t pictureBytes = static_cast<std::size_t>(kWidth) * 10 * 3;
  std::vector<std::uint8_t> guarded(pictureBytes + 64, 0x5A);
  std::fill_n(guarded.begin() + 32, pictureBytes, kGrey);
  BitmapFontPainter painter;
  Canvas band;
  stampBottomUpBgr24(guarded.data() + 32, kWidth, 10, kWidth * 3, "12:00:00", painter, band);
  EXPECT_TRUE(std::all_of(guarded.begin(), guarded.begin() + 32, [](std::uint8_t b) { return b == 0x5A; }));
  EXPECT_TRUE(std::all_of(guarded.end() - 32, guarded.end(), [](std::uint8_t b) { return b == 0x5A; }));
  EXPECT_NE(std::count(guarded.begin(), guarded.end(), 0xFF), 0);
}

}  // namespace
}  // namespace marlin
