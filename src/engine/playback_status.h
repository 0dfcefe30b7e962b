#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "base/calendar.h"
#include "engine/engine_types.h"

namespace marlin {

// The values the worker and the UI thread share outside the mailbox: the
// UI sets the speed, the worker reads it every iteration; the worker sets
// the state, the frame time, the frame period and what an AVI capture is
// sized and timed by, the UI polls them.
class PlaybackStatus {
 public:
  PlaybackState state() const { return static_cast<PlaybackState>(state_.load()); }
  // Only the worker, or the UI thread once no worker runs.
  void setState(PlaybackState state) { state_ = static_cast<int>(state); }
  double speed() const { return speed_.load(); }
  void setSpeed(double speed) { speed_ = speed; }
  // Play reaching the end (reverse: the start) goes on from the other end.
  bool repeat() const { return repeat_.load(); }
  void setRepeat(bool on) { repeat_ = on; }
  // The block time of the last frame the worker handled.
  CalendarTime frameTime() const;
  void setFrameTime(const CalendarTime& time);
  int framePeriodUs() const { return framePeriodUs_.load(); }
  void setFramePeriodUs(int us) { framePeriodUs_ = us; }
  // The size of the last picture decoded.
  int pictureWidth() const { return pictureWidth_.load(); }
  int pictureHeight() const { return pictureHeight_.load(); }
  void setPictureSize(int width, int height);
  // The channel mask and frame interval of the block of the last picture read.
  std::uint16_t channelMask() const { return channelMask_.load(); }
  int frameInterval() const { return frameInterval_.load(); }
  void setBlockLayout(std::uint16_t channelMask, int frameInterval);
  // Some sound reached the output since the engine started.
  bool soundPlayed() const { return soundPlayed_.load(std::memory_order_relaxed); }
  void noteSoundPlayed() { soundPlayed_.store(true, std::memory_order_relaxed); }

 private:
  std::atomic<int> state_{static_cast<int>(PlaybackState::Idle)};
  std::atomic<double> speed_{1.0};
  std::atomic<bool> repeat_{false};
  std::atomic<int> framePeriodUs_{33333};
  std::atomic<int> pictureWidth_{0};
  std::atomic<int> pictureHeight_{0};
  std::atomic<std::uint16_t> channelMask_{0};
  std::atomic<int> frameInterval_{0};
  std::atomic<bool> soundPlayed_{false};
  // A calendar time is too large to be written atomically.
  mutable std::mutex frameTimeLock_;
  CalendarTime frameTime_;
};

}  // namespace marlin
