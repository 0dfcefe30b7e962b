#include "app/cli/serve_dvr/split_composer.h"

#include <cstring>

namespace marlin::cli::serve_dvr {

namespace {

// Nearest-sample scaling: a DVR's split screen is a preview, and exact
// halving (the 2x2 split) then keeps every other sample as it was.
void scalePlane(const std::uint8_t* source, int sourceWidth, int sourceHeight, std::uint8_t* target, int targetStride,
                const Rect& cell) {
  for (int row = 0; row < cell.height(); ++row) {
    const std::uint8_t* from = source + static_cast<std::size_t>(row * sourceHeight / cell.height()) * sourceWidth;
    std::uint8_t* to = target + static_cast<std::size_t>(cell.top + row) * targetStride + cell.left;
    for (int column = 0; column < cell.width(); ++column) {
      to[column] = from[column * sourceWidth / cell.width()];
    }
  }
}

Rect halved(const Rect& cell) { return {cell.left / 2, cell.top / 2, cell.right / 2, cell.bottom / 2}; }

}  // namespace

int splitForCameras(int cameras) {
  if (cameras <= 4) {
    return 4;
  }
  return cameras <= 9 ? 9 : 16;
}

SplitComposer::SplitComposer(Size area, int split, int page) : layout_(layoutSplit(area, split, page, kMaxChannels)) {
  canvas_.resize(area.width, area.height);
  // Black where no camera has shown a picture yet.
  const std::size_t luma = static_cast<std::size_t>(area.width) * area.height;
  std::memset(canvas_.y(), 16, luma);
  std::memset(canvas_.cb(), 128, luma / 2);
}

bool SplitComposer::place(int camera, const YuvPicture& picture) {
  if (camera < 0 || camera >= kMaxChannels || !layout_.visible[static_cast<std::size_t>(camera)]) {
    return false;
  }
  const Rect& cell = layout_.cells[static_cast<std::size_t>(camera)];
  const int chromaWidth = picture.width / 2;
  const int chromaHeight = picture.height / 2;
  scalePlane(picture.y(), picture.width, picture.height, canvas_.y(), canvas_.width, cell);
  scalePlane(picture.cb(), chromaWidth, chromaHeight, canvas_.cb(), canvas_.width / 2, halved(cell));
  scalePlane(picture.cr(), chromaWidth, chromaHeight, canvas_.cr(), canvas_.width / 2, halved(cell));
  return true;
}

}  // namespace marlin::cli::serve_dvr
