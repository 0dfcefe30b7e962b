#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>

#include "render/canvas.h"
#include "render/split_layout.h"
#include "render_test_support.h"

namespace marlin {
namespace {

using rendertest::colourAt;

constexpr std::uint32_t kRed = rgbColour(255, 0, 0);
constexpr std::uint32_t kGreen = rgbColour(0, 255, 0);
constexpr std::uint32_t kBlue = rgbColour(0, 0, 255);
constexpr std::uint32_t kWhite = rgbColour(255, 255, 255);

// Quadrants red, green / blue, white.
Canvas quadrantSource() {
  Canvas source;
  source.reset(2, 2, SurfaceFormat::Rgb32);
  source.fill({0, 0, 1, 1}, kRed);
  source.fill({1, 0, 2, 1}, kGreen);
  source.fill({0, 1, 1, 2}, kBlue);
  source.fill({1, 1, 2, 2}, kWhite);
  return source;
}

std::array<std::uint32_t, 16> pixels(const Canvas& canvas) {
  std::array<std::uint32_t, 16> out{};
  for (int i = 0; i < 16; ++i) {
    out[i] = colourAt(canvas, i % 4, i / 4);
  }
  return out;
}

TEST(Canvas, StretchIsClippedAndKeepsTheUnclippedMapping) {
  const Canvas source = quadrantSource();
  Canvas canvas;
  ASSERT_TRUE(canvas.reset(4, 4, SurfaceFormat::Rgb32));
  // Only the source's bottom-right quarter falls inside, at the top-left.
  canvas.stretch({-2, -2, 2, 2}, source);
  canvas.stretch({3, 3, 7, 7}, source);
  canvas.stretch({-9, 0, -1, 4}, source);
  const std::uint32_t w = kWhite;
  const std::uint32_t r = kRed;
  EXPECT_EQ(pixels(canvas), (std::array<std::uint32_t, 16>{w, w, 0, 0, w, w, 0, 0, 0, 0, 0, 0, 0, 0, 0, r}));

  canvas.fill({-5, -5, 100, 1}, kGreen);
  EXPECT_EQ(colourAt(canvas, 3, 0), kGreen);
  EXPECT_EQ(colourAt(canvas, 0, 1), kWhite);
}

TEST(Canvas, Bgr24StretchReadsBottomUpRowsAndPacksTheFormat) {
  // Bottom row blue, top row red, as B, G, R bytes.
  const std::array<std::uint8_t, 6> bottomUp{255, 0, 0, 0, 0, 255};
  Canvas canvas;
  ASSERT_TRUE(canvas.reset(3, 4, SurfaceFormat::Rgb565));
  canvas.stretchBgr24BottomUp({0, 0, 3, 4}, bottomUp.data(), 1, 2);
  std::array<std::uint8_t, 2> red{};
  std::array<std::uint8_t, 2> blue{};
  std::memcpy(red.data(), canvas.row(1) + 4, 2);
  std::memcpy(blue.data(), canvas.row(2), 2);
  EXPECT_EQ(red, (std::array<std::uint8_t, 2>{0x00, 0xF8}));
  EXPECT_EQ(blue, (std::array<std::uint8_t, 2>{0x1F, 0x00}));
}

TEST(SplitLayout, SpreadsSpareColumnsAndPagesChannels) {
  const SplitLayout four = layoutSplit({641, 481}, 4, 0, 4);
  EXPECT_EQ(four.cells[0], (Rect{0, 0, 321, 241}));
  EXPECT_EQ(four.cells[1], (Rect{321, 0, 641, 241}));
  EXPECT_EQ(four.cells[3], (Rect{321, 241, 641, 481}));

  EXPECT_EQ(splitPages(4, 9), 3);
  const SplitLayout lastPage = layoutSplit({640, 480}, 4, 2, 9);
  for (int i = 0; i < 8; ++i) {
    EXPECT_FALSE(lastPage.visible[i]) << i;
  }
  EXPECT_TRUE(lastPage.visible[8]);
  EXPECT_EQ(lastPage.cells[8], (Rect{0, 0, 320, 240}));
  EXPECT_EQ(lastPage.cells[9], Rect{});
  EXPECT_EQ(layoutSplit({300, 300}, 9, 0, 9).cells[5], (Rect{200, 100, 300, 200}));
}

}  // namespace
}  // namespace marlin
