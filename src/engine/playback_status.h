#pragma once

#include <atomic>
#include <mutex>

#include "base/calendar.h"
#include "engine/engine_types.h"

namespace marlin {

// The values the worker and the UI thread share outside the mailbox: the
// UI sets the speed, the worker reads it every iteration; the worker sets
// the state, the frame time and the frame period, the UI polls them.
class PlaybackStatus {
 public:
  PlaybackState state() const { return static_cast<PlaybackState>(state_.load()); }
  // Only the worker, or the UI thread once no worker runs.
  void setState(PlaybackState state) { state_ = static_cast<int>(state); }
  double speed() const { return speed_.load(); }
  void setSpeed(double speed) { speed_ = speed; }
  // The block time of the last frame the worker handled.
  CalendarTime frameTime() const;
  void setFrameTime(const CalendarTime& time);
  int framePeriodUs() const { return framePeriodUs_.load(); }
  void setFramePeriodUs(int us) { framePeriodUs_ = us; }

 private:
  std::atomic<int> state_{static_cast<int>(PlaybackState::Idle)};
  std::atomic<double> speed_{1.0};
  std::atomic<int> framePeriodUs_{33333};
  // A calendar time is too large to be written atomically.
  mutable std::mutex frameTimeLock_;
  CalendarTime frameTime_;
};

}  // namespace marlin
