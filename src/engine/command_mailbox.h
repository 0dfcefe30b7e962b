#pragma once

#include <atomic>
#include <cstdint>

#include "engine/engine_types.h"
#include "platform/manual_reset_event.h"

namespace marlin {

// The one slot through which the UI thread hands the worker a command. The
// code (and a jump's target) is written before the event is signalled, and
// the worker reads it only once the event fired, so no lock is needed; a
// second command posted before the worker took the first replaces it.
class CommandMailbox {
 public:
  void post(EngineCommand command);
  // A jump to target, then the command then (Pause: stay on the picture).
  void postJump(std::uint64_t target, EngineCommand then = EngineCommand::Pause);
  // A command waits to be taken.
  bool pending() const;
  // The command posted last; the event is reset, so a later post signals again.
  EngineCommand take();
  std::uint64_t jumpTarget() const { return jumpTarget_.load(); }
  EngineCommand afterJump() const { return static_cast<EngineCommand>(afterJump_.load()); }
  // Forgets a command the worker will no longer take (its run is over).
  void clear() { event_.reset(); }
  const ManualResetEvent& event() const { return event_; }

 private:
  ManualResetEvent event_;
  std::atomic<int> command_{static_cast<int>(EngineCommand::None)};
  std::atomic<std::uint64_t> jumpTarget_{0};
  std::atomic<int> afterJump_{static_cast<int>(EngineCommand::Pause)};
};

}  // namespace marlin
