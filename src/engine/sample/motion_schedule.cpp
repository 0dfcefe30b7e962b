#include "engine/sample/motion_schedule.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace marlin::sample {

namespace {

// Fast enough to cross several samples between two pictures of a channel
// even when a single channel has all of them, and unequal, so that the box
// wanders over its whole area instead of along one diagonal.
constexpr double kAcrossPerSecond = 96.0;
constexpr double kDownPerSecond = 60.0;

// An offset that goes from 0 to room and back at the speed given.
int backAndForth(double seconds, double perSecond, int room) {
  if (room <= 0) {
    return 0;
  }
  const double travel = std::fmod(seconds * perSecond, 2.0 * room);
  return static_cast<int>(std::lround(travel <= room ? travel : 2.0 * room - travel));
}

}  // namespace

MotionSchedule::MotionSchedule(std::vector<MotionSpan> spans, int pictureWidth, int pictureHeight)
    : spans_(std::move(spans)), picture_{0, 0, pictureWidth, pictureHeight} {}

std::optional<Rect> MotionSchedule::boxAt(unsigned channel, double seconds) {
  const MotionSpan* underWay = nullptr;
  const MotionSpan* first = nullptr;
  for (const MotionSpan& span : spans_) {
    if (span.channel != channel) {
      continue;
    }
    if (span.startSeconds <= seconds && seconds < span.endSeconds) {
      underWay = &span;
    }
    if (first == nullptr || span.startSeconds < first->startSeconds) {
      first = &span;
    }
  }
  if (underWay != nullptr) {
    return lastShown_[channel] = boxInSpan(*underWay, seconds);
  }
  if (const auto shown = lastShown_.find(channel); shown != lastShown_.end()) {
    return shown->second;
  }
  if (first == nullptr) {
    return std::nullopt;
  }
  return boxInSpan(*first, first->startSeconds);
}

Rect MotionSchedule::boxInSpan(const MotionSpan& span, double seconds) const {
  const Rect area = span.area.value_or(picture_);
  const double moving = seconds - span.startSeconds;
  const int left = area.left + backAndForth(moving, kAcrossPerSecond, area.width() - kMotionBoxSize);
  const int top = area.top + backAndForth(moving, kDownPerSecond, area.height() - kMotionBoxSize);
  return {left, top, left + kMotionBoxSize, top + kMotionBoxSize};
}

}  // namespace marlin::sample
