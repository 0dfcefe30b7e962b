#pragma once

#include <array>
#include <vector>

#include "codec/yuv_picture.h"
#include "engine/sample/motion_schedule.h"

namespace marlin::sample {

// The pictures of a sample whose motion is known: each channel's still
// scene, with the box where the schedule has it.
class MotionScene {
 public:
  MotionScene(std::vector<MotionSpan> spans, int pictureWidth, int pictureHeight);

  // Pictures are drawn in time order, as the schedule follows them.
  void draw(YuvPicture& picture, unsigned channel, double seconds);

 private:
  MotionSchedule schedule_;
  int width_;
  int height_;
  std::array<YuvPicture, 16> stills_;  // each drawn when first shown
};

}  // namespace marlin::sample
