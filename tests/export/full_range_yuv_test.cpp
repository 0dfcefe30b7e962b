#include "export/full_range_yuv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "export/avi_formats.h"

namespace marlin {
namespace {

// The JFIF equations in floating point, each chroma sample from the mean colour of the pixels it covers: a wrong
// row order, stride, coefficient or edge of the fixed-point converter shows as far more than the one level that
// rounding allows. (libswscale makes a poor yardstick here: for odd widths it reads its last pair of pixels from
// beyond the row.)
TEST(FullRangeYuv, MatchesTheJfifEquationsOnBottomUpPicturesOfOddAndEvenSizes) {
  for (const auto [width, height] : {std::pair{64, 32}, std::pair{37, 21}}) {
    SCOPED_TRACE(std::to_string(width) + " x " + std::to_string(height));
    const std::uint32_t rowBytes = dibRowBytes(width, 24);
    std::vector<std::uint8_t> bitmap(dibImageBytes(width, height, 24), 0xEE);
    const auto pixel = [&](int x, int y) {  // y counted from the top
      return bitmap.data() + static_cast<std::size_t>(height - 1 - y) * rowBytes + 3 * x;
    };
    std::srand(7);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        for (int c = 0; c < 3; ++c) pixel(x, y)[c] = static_cast<std::uint8_t>(std::rand() & 0xFF);
      }
    }
    const int chromaWidth = (width + 1) / 2;
    const int chromaHeight = (height + 1) / 2;
    std::vector<std::uint8_t> luma(width * height), cb(chromaWidth * chromaHeight), cr(cb.size());
    bgr24ToFullRangeYuv420(pixel(0, 0), -static_cast<std::ptrdiff_t>(rowBytes), width, height,
                           {luma.data(), width, cb.data(), chromaWidth, cr.data(), chromaWidth});

    int largest = 0;
    const auto compare = [&](std::uint8_t got, double wanted) {
      largest = std::max(largest, static_cast<int>(std::abs(got - std::clamp(wanted, 0.0, 255.0)) + 0.5));
    };
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        const std::uint8_t* p = pixel(x, y);
        compare(luma[y * width + x], 0.299 * p[2] + 0.587 * p[1] + 0.114 * p[0]);
      }
    }
    for (int cy = 0; cy < chromaHeight; ++cy) {
      for (int cx = 0; cx < chromaWidth; ++cx) {
        double r = 0, g = 0, b = 0;
        int count = 0;
        for (int y = 2 * cy; y < std::min(2 * cy + 2, height); ++y) {
          for (int x = 2 * cx; x < std::min(2 * cx + 2, width); ++x, ++count) {
            b += pixel(x, y)[0];
            g += pixel(x, y)[1];
            r += pixel(x, y)[2];
          }
        }
        r /= count, g /= count, b /= count;
        compare(cb[cy * chromaWidth + cx], 128 - 0.168736 * r - 0.331264 * g + 0.5 * b);
        compare(cr[cy * chromaWidth + cx], 128 + 0.5 * r - 0.418688 * g - 0.081312 * b);
      }
    }
    EXPECT_LE(largest, 1);
  }
}

}  // namespace
}  // namespace marlin
