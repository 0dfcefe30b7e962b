#pragma once

#include <map>
#include <optional>
#include <vector>

#include "render/geometry.h"

namespace marlin::sample {

// The side of the moving box: three macroblocks, so that what it covers and
// uncovers spans whole macroblocks side by side.
inline constexpr int kMotionBoxSize = 48;

// A stretch of time in which the box moves on one channel, back and forth
// inside an area of the picture at least the box's size.
struct MotionSpan {
  unsigned channel = 0;       // 0-based
  double startSeconds = 0.0;  // from the recording's start
  double endSeconds = 0.0;    // the box stands still from here on
  std::optional<Rect> area;   // the whole picture when not given
};

// Where each channel's box is as pictures are drawn in time order. A box
// moves only while a span of its channel is under way; otherwise it stays
// where its channel's last picture showed it, and before the channel's first
// span it waits where that span starts. So a picture differs from its
// channel's previous one only when its time lies within a span.
class MotionSchedule {
 public:
  MotionSchedule(std::vector<MotionSpan> spans, int pictureWidth, int pictureHeight);

  // Nothing for a channel without spans.
  std::optional<Rect> boxAt(unsigned channel, double seconds);

 private:
  Rect boxInSpan(const MotionSpan& span, double seconds) const;

  std::vector<MotionSpan> spans_;
  Rect picture_;
  std::map<unsigned, Rect> lastShown_;
};

}  // namespace marlin::sample
