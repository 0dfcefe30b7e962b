#pragma once

#include <cstdint>

#include "base/calendar.h"
#include "engine/engine_types.h"

namespace marlin {

// What headless front ends (scripts, tests) learn from a playing engine as it
// happens. Called on the worker thread; must return quickly and must not call
// the engine's commands. The desktop window does not use it: it polls.
class PlaybackObserver {
 public:
  virtual ~PlaybackObserver() = default;
  // A picture of channel went to the renderer; position is the source's read
  // position after the read that delivered it.
  virtual void pictureShown(int channel, const CalendarTime& blockTime, int width, int height,
                            std::uint64_t position) = 0;
  // The worker took a command or changed state by itself.
  virtual void stateChanged(PlaybackState state, double speed) = 0;
};

}  // namespace marlin
