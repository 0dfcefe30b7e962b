#include "engine/sample/motion_scene.h"

#include <algorithm>
#include <utility>

#include "engine/sample/sample_picture.h"

namespace marlin::sample {

namespace {

// White over the dark parts of the scene and black over the light ones, so
// that the box differs from what it covers by at least 128 luma levels
// everywhere; colourless.
void drawBox(YuvPicture& picture, const YuvPicture& still, const Rect& box) {
  const int right = std::min(box.right, picture.width);
  const int bottom = std::min(box.bottom, picture.height);
  const int chromaWidth = picture.width / 2;
  for (int y = std::max(box.top, 0); y < bottom; ++y) {
    for (int x = std::max(box.left, 0); x < right; ++x) {
      const int at = y * picture.width + x;
      picture.y()[at] = still.y()[at] < 128 ? 255 : 0;
      if (x % 2 == 0 && y % 2 == 0) {
        const int chromaAt = (y / 2) * chromaWidth + x / 2;
        picture.cb()[chromaAt] = 128;
        picture.cr()[chromaAt] = 128;
      }
    }
  }
}

}  // namespace

MotionScene::MotionScene(std::vector<MotionSpan> spans, int pictureWidth, int pictureHeight)
    : schedule_(std::move(spans), pictureWidth, pictureHeight), width_(pictureWidth), height_(pictureHeight) {}

void MotionScene::draw(YuvPicture& picture, unsigned channel, double seconds) {
  YuvPicture& still = stills_.at(channel);
  if (still.data.empty()) {
    still.resize(width_, height_);
    drawStillPicture(still, channel);
  }
  picture = still;
  if (const std::optional<Rect> box = schedule_.boxAt(channel, seconds)) {
    drawBox(picture, still, *box);
  }
}

}  // namespace marlin::sample
