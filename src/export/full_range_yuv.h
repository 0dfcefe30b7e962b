#pragma once

#include <cstddef>
#include <cstdint>

namespace marlin {

// Planes of a 4:2:0 picture: chroma has half the width and height, rounded up.
struct Yuv420Planes {
  std::uint8_t* y;
  int yStride;
  std::uint8_t* cb;
  int cbStride;
  std::uint8_t* cr;
  int crStride;
};

// Converts 24-bit B, G, R rows to full-range (JPEG) BT.601 YCbCr 4:2:0, each chroma sample from the average of its
// 2 x 2 pixels (the last column or row stands alone when the size is odd). topRow is the picture's top row;
// rowStep, in bytes, leads to the row below it, negative for a bottom-up bitmap. MJPEG takes these planes: the
// general converter of libswscale has no fast path for full range and took half of an MJPEG export's time.
void bgr24ToFullRangeYuv420(const std::uint8_t* topRow, std::ptrdiff_t rowStep, int width, int height,
                            const Yuv420Planes& out);

}  // namespace marlin
