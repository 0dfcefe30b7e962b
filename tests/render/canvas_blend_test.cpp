#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>

#include "render/canvas.h"

namespace marlin {
namespace {

constexpr std::array kFormats{SurfaceFormat::Rgb555, SurfaceFormat::Rgb565, SurfaceFormat::Bgr565, SurfaceFormat::Rgb24,
                              SurfaceFormat::Rgb32};

// The bytes a canvas of format holds for colour, as a fill writes them.
std::array<std::uint8_t, 4> packed(SurfaceFormat format, std::uint32_t colour) {
  Canvas one;
  one.reset(1, 1, format);
  one.fillAll(colour);
  std::array<std::uint8_t, 4> bytes{};
  std::memcpy(bytes.data(), one.data(), bytesPerPixel(format));
  return bytes;
}

std::array<std::uint8_t, 4> pixelAt(const Canvas& canvas, int x, int y) {
  std::array<std::uint8_t, 4> bytes{};
  std::memcpy(bytes.data(), canvas.row(y) + x * bytesPerPixel(canvas.format()), bytesPerPixel(canvas.format()));
  return bytes;
}

// Blue over red: no coverage keeps red, full coverage gives blue as a fill
// would, half coverage mixes each component by itself in every format.
TEST(CanvasBlend, MixesByCoverageInEveryFormat) {
  const std::uint32_t red = rgbColour(255, 0, 0);
  const std::uint32_t blue = rgbColour(0, 0, 255);
  const std::uint8_t coverage[] = {0, 128, 255};
  for (const SurfaceFormat format : kFormats) {
    SCOPED_TRACE(static_cast<int>(format));
    Canvas canvas;
    ASSERT_TRUE(canvas.reset(3, 1, format));
    canvas.fillAll(red);
    canvas.blendCoverage(0, 0, coverage, 3, 1, blue);
    EXPECT_EQ(pixelAt(canvas, 0, 0), packed(format, red));
    EXPECT_EQ(pixelAt(canvas, 1, 0), packed(format, rgbColour(127, 0, 128)));
    EXPECT_EQ(pixelAt(canvas, 2, 0), packed(format, blue));
  }
}

// A mask hanging over every edge changes only the pixels under it.
TEST(CanvasBlend, ClipsToTheCanvas) {
  Canvas canvas;
  ASSERT_TRUE(canvas.reset(4, 3, SurfaceFormat::Rgb32));
  std::array<std::uint8_t, 6 * 5> full{};
  full.fill(255);
  canvas.blendCoverage(-1, -1, full.data(), 6, 5, rgbColour(9, 9, 9));
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 4; ++x) {
      EXPECT_EQ(pixelAt(canvas, x, y), packed(SurfaceFormat::Rgb32, rgbColour(9, 9, 9)));
    }
  }
  Canvas small;
  ASSERT_TRUE(small.reset(4, 3, SurfaceFormat::Rgb32));
  const std::uint8_t corner[] = {255, 255, 255, 255};
  small.blendCoverage(3, 2, corner, 2, 2, rgbColour(9, 9, 9));
  EXPECT_EQ(pixelAt(small, 3, 2), packed(SurfaceFormat::Rgb32, rgbColour(9, 9, 9)));
  EXPECT_EQ(pixelAt(small, 2, 2), packed(SurfaceFormat::Rgb32, 0));
  EXPECT_EQ(pixelAt(small, 3, 1), packed(SurfaceFormat::Rgb32, 0));
}

}  // namespace
}  // namespace marlin
