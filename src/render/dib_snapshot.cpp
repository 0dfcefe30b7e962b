#include "render/dib_snapshot.h"

#include "codec/colour_convert.h"

namespace marlin {

std::vector<std::uint8_t> canvasToDib24(const Canvas& canvas) {
  const int width = canvas.width();
  const int height = canvas.height();
  const std::size_t paddedRow = dib24RowStride(width);
  std::vector<std::uint8_t> dib = makeDib24(width, height);
  std::uint8_t* bits = dib.data() + kDibInfoHeaderBytes;
  for (int y = 0; y < height; ++y) {
    surfaceToBgr24BottomUp(bits + (height - 1 - y) * paddedRow, canvas.row(y), width, 1, canvas.format());
  }
  return dib;
}

}  // namespace marlin
