// Pacing at speeds the controls never offer but the engine's play accepts.
#include <gtest/gtest.h>

#include <algorithm>

#include "engine/engine_rig.h"

namespace marlin::testing {
namespace {

TEST(PacingLimits, ANearZeroSpeedWaitsAsLongAsItCanInsteadOfPlayingFlatOut) {
  EngineRig rig;
  // Taken by the worker's own first Play when the recording opens.
  rig.engine.play(1e-300);
  RecordingPlan plan;
  plan.rounds = 3;
  rig.open(makePlaybackRecording(plan));
  ASSERT_TRUE(rig.log.waitFor(
      [&](const EventLog& l) { return l.pictureCount() >= 12 && rig.engine.getState() == PlaybackState::Paused; }));
  const std::vector<std::uint32_t> waits = rig.clock.waits();
  constexpr std::uint32_t kDayMs = 86400000;
  EXPECT_GE(std::count_if(waits.begin(), waits.end(), [](std::uint32_t ms) { return ms > kDayMs; }), 12);
}

}  // namespace
}  // namespace marlin::testing
