#pragma once

#include <atomic>
#include <cstdint>
#include <initializer_list>

#include "platform/manual_reset_event.h"

namespace marlin {

// The process-wide millisecond tick the playback worker paces against, and
// the waits it paces with. Pacing is relative (how long a frame has taken so
// far), so only differences of now() matter; it wraps modulo 2^32.
// Tests substitute a clock whose time moves only when waited on.
class PlaybackClock {
 public:
  virtual ~PlaybackClock() = default;
  virtual std::uint32_t now() const = 0;
  // Waits up to ms for one of events (index of the first signalled, in
  // order) or returns -1 once the time has passed.
  virtual int waitAny(std::initializer_list<const ManualResetEvent*> events, std::uint32_t ms) = 0;
};

// The real clock: the monotonic system clock in milliseconds. It needs no
// timer thread, so starting and stopping it (done by the first and the last
// player engine of the process) only records whether an engine uses it.
class SteadyPlaybackClock final : public PlaybackClock {
 public:
  std::uint32_t now() const override;
  int waitAny(std::initializer_list<const ManualResetEvent*> events, std::uint32_t ms) override;

  void startClock() { started_ = true; }
  void stopClock() { started_ = false; }
  bool isStarted() const { return started_; }

 private:
  std::atomic<bool> started_{false};
};

SteadyPlaybackClock& processPlaybackClock();

}  // namespace marlin
