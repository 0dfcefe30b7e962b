#include "engine/playback_status.h"

namespace marlin {

CalendarTime PlaybackStatus::frameTime() const {
  std::lock_guard guard(frameTimeLock_);
  return frameTime_;
}

void PlaybackStatus::setFrameTime(const CalendarTime& time) {
  std::lock_guard guard(frameTimeLock_);
  frameTime_ = time;
}

}  // namespace marlin
