// Repeat: play that reaches the end of the recording (reverse: its start)
// goes on from the other end in the same direction and at the same speed.

#include <gtest/gtest.h>

#include <algorithm>

#include "engine/engine_rig.h"

namespace marlin::testing {
namespace {

// How often the pictures' positions turn back against the direction of play:
// each is play starting over from the other end.
std::size_t startsOver(const std::vector<ShownPicture>& pictures, bool backward) {
  std::size_t count = 0;
  for (std::size_t i = 1; i < pictures.size(); ++i) {
    count +=
        backward ? pictures[i].position > pictures[i - 1].position : pictures[i].position < pictures[i - 1].position;
  }
  return count;
}

bool neverPaused(const EventLog& log) {
  const std::vector<PlaybackState> states = log.states();
  return std::find(states.begin(), states.end(), PlaybackState::Paused) == states.end();
}

TEST(RepeatPlayback, ForwardPlayGoesRoundFromTheStartUntilRepeatIsOff) {
  EngineRig rig;
  rig.engine.setRepeat(true);
  EXPECT_TRUE(rig.engine.getRepeat());
  RecordingPlan plan;
  plan.rounds = 3;
  rig.open(makePlaybackRecording(plan));
  ASSERT_TRUE(rig.log.waitFor([](const EventLog& l) { return l.pictureCount() >= 40; }));

  const std::vector<ShownPicture> pictures = rig.log.pictures();
  for (std::size_t i = 0; i < 40; ++i) {
    EXPECT_EQ(pictures[i].channel, static_cast<int>(i % 4)) << i;
    EXPECT_EQ(pictures[i].time.second, (i / 4) % 3) << i;
  }
  EXPECT_EQ(pictures[12].position, pictures[0].position) << "the second round starts where the first did";
  EXPECT_TRUE(neverPaused(rig.log));
  EXPECT_EQ(rig.engine.getState(), PlaybackState::Forward);
  EXPECT_EQ(rig.engine.getSpeed(), 1.0);

  rig.engine.setRepeat(false);
  ASSERT_TRUE(rig.waitForState(PlaybackState::Paused));
  const std::size_t shown = rig.log.pictureCount();
  EXPECT_EQ(rig.log.pictures().back().time.second, 2) << "paused at the end";
  rig.engine.play(1);
  ASSERT_TRUE(rig.log.waitFor([](const EventLog& l) {
    const auto states = l.states();
    return states.size() >= 2 && states[states.size() - 2] == PlaybackState::Forward &&
           states.back() == PlaybackState::Paused;
  }));
  EXPECT_EQ(rig.log.pictureCount(), shown);
}

TEST(RepeatPlayback, ReversePlayGoesRoundFromTheEnd) {
  EngineRig rig;
  RecordingPlan plan;
  plan.rounds = 3;
  rig.open(makePlaybackRecording(plan));
  ASSERT_TRUE(rig.log.waitFor(
      [&](const EventLog& l) { return l.pictureCount() >= 12 && rig.engine.getState() == PlaybackState::Paused; }));
  rig.engine.setRepeat(true);
  const std::size_t before = rig.log.pictureCount();
  rig.engine.playReverse(2);
  ASSERT_TRUE(rig.log.waitFor([&](const EventLog& l) { return l.pictureCount() >= before + 30; }));

  const std::vector<ShownPicture> pictures = rig.log.picturesFrom(before);
  EXPECT_GE(startsOver(pictures, true), 2u);
  for (std::size_t i = 1; i < pictures.size(); ++i) {
    // Channels come in reverse reading order, round after round.
    EXPECT_EQ(pictures[i].channel, (pictures[i - 1].channel + 3) % 4) << i;
  }
  EXPECT_EQ(rig.engine.getState(), PlaybackState::Reverse);
  EXPECT_EQ(rig.engine.getSpeed(), 2.0);
  const std::vector<PlaybackState> states = rig.log.states();
  EXPECT_EQ(states.back(), PlaybackState::Reverse);
}

TEST(RepeatPlayback, SkippingFastPlayGoesRoundInBothDirections) {
  EngineRig rig;
  rig.engine.setRepeat(true);
  RecordingPlan plan;
  plan.rounds = 200;
  rig.open(makePlaybackRecording(plan));
  for (const bool backward : {false, true}) {
    const PlaybackState direction = backward ? PlaybackState::Reverse : PlaybackState::Forward;
    const auto press = [&] { backward ? rig.engine.fastReverse() : rig.engine.fastForward(); };
    // 8x, then 16x, which skips.
    press();
    ASSERT_TRUE(
        rig.log.waitFor([&](const EventLog& l) { return !l.states().empty() && l.states().back() == direction; }));
    press();
    ASSERT_EQ(rig.engine.getSpeed(), 16.0);
    const std::size_t before = rig.log.pictureCount();
    ASSERT_TRUE(rig.log.waitFor([&](const EventLog& l) { return startsOver(l.picturesFrom(before), backward) >= 3; }))
        << (backward ? "reverse" : "forward");
    EXPECT_EQ(rig.engine.getState(), direction);
    EXPECT_TRUE(neverPaused(rig.log));
  }
}

TEST(RepeatPlayback, ARecordingWithoutFramesStillPauses) {
  EngineRig rig;
  rig.engine.setRepeat(true);
  rig.open(std::vector<std::uint8_t>(3 * 4096, 0));
  ASSERT_TRUE(rig.waitForState(PlaybackState::Paused));
  EXPECT_EQ(rig.log.pictureCount(), 0u);
}

}  // namespace
}  // namespace marlin::testing
