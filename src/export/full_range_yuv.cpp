#include "export/full_range_yuv.h"

#include <algorithm>

namespace marlin {

namespace {

// BT.601 in 16-bit fixed point: each row of coefficients sums to 65536 for luma and to 0 for chroma.
constexpr int kShift = 16;
constexpr int kYr = 19595, kYg = 38470, kYb = 7471;
constexpr int kCbR = -11059, kCbG = -21709, kCbB = 32768;
constexpr int kCrR = 32768, kCrG = -27439, kCrB = -5329;

std::uint8_t luma(const std::uint8_t* bgr) {
  return static_cast<std::uint8_t>((kYr * bgr[2] + kYg * bgr[1] + kYb * bgr[0] + (1 << (kShift - 1))) >> kShift);
}

// r, g, b: sums of `count` pixels.
std::uint8_t chroma(int cR, int cG, int cB, int r, int g, int b, int count) {
  const int shift = kShift + (count == 4 ? 2 : count == 2 ? 1 : 0);
  const int value = ((cR * r + cG * g + cB * b + (1 << (shift - 1))) >> shift) + 128;
  return static_cast<std::uint8_t>(std::clamp(value, 0, 255));
}

}  // namespace

void bgr24ToFullRangeYuv420(const std::uint8_t* topRow, std::ptrdiff_t rowStep, int width, int height,
                            const Yuv420Planes& out) {
  for (int y = 0; y < height; y += 2) {
    const std::uint8_t* upper = topRow + rowStep * y;
    const bool pair = y + 1 < height;
    const std::uint8_t* lower = pair ? upper + rowStep : upper;
    std::uint8_t* lumaUpper = out.y + static_cast<std::ptrdiff_t>(out.yStride) * y;
    std::uint8_t* lumaLower = lumaUpper + out.yStride;
    for (int x = 0; x < width; ++x) {
      lumaUpper[x] = luma(upper + 3 * x);
    }
    if (pair) {
      for (int x = 0; x < width; ++x) {
        lumaLower[x] = luma(lower + 3 * x);
      }
    }
    std::uint8_t* cb = out.cb + static_cast<std::ptrdiff_t>(out.cbStride) * (y / 2);
    std::uint8_t* cr = out.cr + static_cast<std::ptrdiff_t>(out.crStride) * (y / 2);
    for (int x = 0; x < width; x += 2) {
      const int columns = x + 1 < width ? 2 : 1;
      const int count = columns * (pair ? 2 : 1);
      int r = 0, g = 0, b = 0;
      for (int dx = 0; dx < columns; ++dx) {
        const std::uint8_t* p = upper + 3 * (x + dx);
        const std::uint8_t* q = lower + 3 * (x + dx);
        b += p[0] + (pair ? q[0] : 0);
        g += p[1] + (pair ? q[1] : 0);
        r += p[2] + (pair ? q[2] : 0);
      }
      cb[x / 2] = chroma(kCbR, kCbG, kCbB, r, g, b, count);
      cr[x / 2] = chroma(kCrR, kCrG, kCrB, r, g, b, count);
    }
  }
}

}  // namespace marlin
