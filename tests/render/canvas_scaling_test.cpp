#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "codec/colour_convert.h"
#include "render/canvas.h"
#include "render_test_support.h"

namespace marlin {
namespace {

constexpr int kPictureWidth = 40;
constexpr int kPictureHeight = 20;

// Same size, twice the height, half and twice the width, another ratio,
// and each partly off the canvas.
const Rect kDests[] = {{5, 7, 45, 27}, {5, 7, 45, 47},   {-3, 2, 17, 22}, {70, 50, 150, 90},
                       {1, 1, 34, 59}, {10, -5, 50, 15}, {60, 0, 80, 40}, {-20, 30, 60, 50}};

// Nearest-neighbour scaling pixel by pixel, the way the canvas documents it.
Canvas scaledByHand(const Canvas& source, const Rect& dest) {
  Canvas expected;
  expected.reset(100, 80, source.format());
  const std::size_t bpp = bytesPerPixel(source.format());
  for (int y = std::max(dest.top, 0); y < std::min(dest.bottom, expected.height()); ++y) {
    for (int x = std::max(dest.left, 0); x < std::min(dest.right, expected.width()); ++x) {
      const int sx = (x - dest.left) * source.width() / dest.width();
      const int sy = (y - dest.top) * source.height() / dest.height();
      std::memcpy(expected.data() + y * expected.pitch() + x * bpp, source.row(sy) + sx * bpp, bpp);
    }
  }
  return expected;
}

bool sameBytes(const Canvas& a, const Canvas& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.pitch() * a.height()) == 0;
}

Canvas converted(const std::vector<std::uint8_t>& yuv, SurfaceFormat format) {
  Canvas picture;
  picture.reset(kPictureWidth, kPictureHeight, format);
  (format == SurfaceFormat::Rgb32 ? ToRgb32 : ToRgb24Surface)(picture.data(), yuv.data(), kPictureWidth,
                                                              kPictureHeight);
  return picture;
}

TEST(CanvasScaling, StretchPicksTheNearestSourcePixelAtEveryRatio) {
  const std::vector<std::uint8_t> yuv = rendertest::gradientPicture(kPictureWidth, kPictureHeight);
  for (const SurfaceFormat format : {SurfaceFormat::Rgb32, SurfaceFormat::Rgb24}) {
    const Canvas source = converted(yuv, format);
    for (const Rect& dest : kDests) {
      Canvas canvas;
      canvas.reset(100, 80, format);
      canvas.stretch(dest, source);
      EXPECT_TRUE(sameBytes(canvas, scaledByHand(source, dest)))
          << dest.left << "," << dest.top << " " << dest.right << "," << dest.bottom;
    }
  }
}

TEST(CanvasScaling, Bgr24StretchPacksTheNearestSourcePixelAtEveryRatio) {
  const std::vector<std::uint8_t> yuv = rendertest::gradientPicture(kPictureWidth, kPictureHeight);
  std::vector<std::uint8_t> bottomUp(static_cast<std::size_t>(kPictureWidth) * kPictureHeight * 3);
  ToDib24(bottomUp.data(), yuv.data(), kPictureWidth, kPictureHeight);
  const Canvas source = converted(yuv, SurfaceFormat::Rgb32);
  for (const Rect& dest : kDests) {
    Canvas canvas;
    canvas.reset(100, 80, SurfaceFormat::Rgb32);
    canvas.stretchBgr24BottomUp(dest, bottomUp.data(), kPictureWidth, kPictureHeight);
    EXPECT_TRUE(sameBytes(canvas, scaledByHand(source, dest))) << dest.left << "," << dest.top;
  }
}

TEST(CanvasScaling, PicturesConvertedIntoPlaceMatchConvertingFirst) {
  const std::vector<std::uint8_t> yuv = rendertest::gradientPicture(kPictureWidth, kPictureHeight);
  const colour::Kernel& active = colour::activeKernel();
  for (const colour::Kernel* kernel : colour::supportedKernels()) {
    colour::selectKernel(*kernel);
    for (const SurfaceFormat format : {SurfaceFormat::Rgb32, SurfaceFormat::Rgb24}) {
      ASSERT_TRUE(Canvas::drawsYuv420(format));
      const Canvas source = converted(yuv, format);
      for (const Rect& dest : kDests) {
        Canvas canvas;
        canvas.reset(100, 80, format);
        canvas.stretchYuv420(dest, yuv.data(), kPictureWidth, kPictureHeight);
        EXPECT_TRUE(sameBytes(canvas, scaledByHand(source, dest)))
            << kernel->name << " " << static_cast<int>(format) << " " << dest.left << "," << dest.top;
      }
    }
  }
  colour::selectKernel(active);

  // The 16-bit formats have no conversion into place and are left alone.
  Canvas canvas;
  canvas.reset(100, 80, SurfaceFormat::Rgb565);
  EXPECT_FALSE(Canvas::drawsYuv420(SurfaceFormat::Rgb565));
  canvas.stretchYuv420(kDests[0], yuv.data(), kPictureWidth, kPictureHeight);
  EXPECT_EQ(std::vector<std::uint8_t>(canvas.data(), canvas.data() + canvas.pitch() * canvas.height()),
            std::vector<std::uint8_t>(canvas.pitch() * canvas.height(), 0));
}

}  // namespace
}  // namespace marlin
