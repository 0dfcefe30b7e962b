#pragma once

#include <cstdint>

#include "codec/colour_convert.h"

namespace marlin::colour {

// The loop every vector version shares: whole steps of `step` pixels over
// both rows, the chroma offsets of a step computed once for the two, and the
// portable version (its member tail) for the pixels left over. Each pixel
// takes lumaPerPixel luma samples along the row: 1 at full width, 2 when
// halving (the even samples are kept); either way a chroma sample covers
// two luma samples.
// chromaOffsets(cb, cr) gives a step's offsets, rowQuads(y, offsets,
// Vector[4]) a row's pixels as four vectors of B, G, R, 0 quads, and
// store(out, quads) writes them as packed pixels of pixelBytes.
template <int step, int lumaPerPixel, class Vector, auto chromaOffsets, auto rowQuads, int pixelBytes, auto store,
          RowPairFn Kernel::*tail>
void rowPairInSteps(const std::uint8_t* y0, const std::uint8_t* y1, const std::uint8_t* cb, const std::uint8_t* cr,
                    int width, std::uint8_t* out0, std::uint8_t* out1) {
  int x = 0;
  for (; x + step <= width; x += step) {
    const int luma = x * lumaPerPixel;
    const auto offsets = chromaOffsets(cb + luma / 2, cr + luma / 2);
    Vector quads[4];
    rowQuads(y0 + luma, offsets, quads);
    store(out0 + pixelBytes * x, quads);
    rowQuads(y1 + luma, offsets, quads);
    store(out1 + pixelBytes * x, quads);
  }
  if (x < width) {
    const int luma = x * lumaPerPixel;
    (portableKernel().*tail)(y0 + luma, y1 + luma, cb + luma / 2, cr + luma / 2, width - x, out0 + pixelBytes * x,
                             out1 + pixelBytes * x);
  }
}

}  // namespace marlin::colour
