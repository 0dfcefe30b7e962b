#include "engine/playback_clock.h"

#include <chrono>

namespace marlin {

std::uint32_t SteadyPlaybackClock::now() const {
  const auto sinceBoot = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(sinceBoot).count());
}

int SteadyPlaybackClock::waitAny(std::initializer_list<const ManualResetEvent*> events, std::uint32_t ms) {
  return marlin::waitAny(events, std::chrono::milliseconds(ms));
}

SteadyPlaybackClock& processPlaybackClock() {
  static SteadyPlaybackClock clock;
  return clock;
}

}  // namespace marlin
