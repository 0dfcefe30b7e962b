#include <gtest/gtest.h>

#include "engine/engine_rig.h"
#include "engine/playback_loop.h"

namespace marlin::testing {
namespace {

TEST(PlayerEngine, SpeedRulesOfPlayAndAdjust) {
  EngineRig rig;
  PlayerEngine& engine = rig.engine;
  const std::pair<double, double> plays[] = {{0, 1}, {-3, 3}, {20, 8}, {0.25, 0.25}};
  for (const auto& [asked, speed] : plays) {
    engine.play(asked);
    EXPECT_EQ(engine.getSpeed(), speed) << "play " << asked;
    engine.playReverse(asked);
    EXPECT_EQ(engine.getSpeed(), speed) << "playReverse " << asked;
  }
  engine.adjustSpeed(0.05);
  EXPECT_EQ(engine.getSpeed(), 0.1);
  engine.adjustSpeed(9);
  EXPECT_EQ(engine.getSpeed(), 8.0);
}

TEST(PlayerEngine, FastPlayDoublesOnlyInItsOwnDirection) {
  EngineRig rig;
  RecordingPlan plan;
  plan.rounds = 400;
  rig.open(makePlaybackRecording(plan));
  PlayerEngine& engine = rig.engine;
  engine.pause();
  ASSERT_TRUE(rig.waitForState(PlaybackState::Paused));

  engine.fastForward();  // paused: 8 and forward
  EXPECT_EQ(engine.getSpeed(), 8.0);
  ASSERT_TRUE(rig.waitForState(PlaybackState::Forward));
  engine.fastForward();
  EXPECT_EQ(engine.getSpeed(), 16.0);
  engine.fastForward();
  EXPECT_EQ(engine.getSpeed(), 32.0);
  // Far enough from the start that playing back does not reach it at once.
  ASSERT_TRUE(rig.log.waitFor([&](const EventLog&) { return engine.getPosition() > engine.getSourceSize() / 2; }));
  engine.fastReverse();  // playing forward: 8 and reverse
  EXPECT_EQ(engine.getSpeed(), 8.0);
  ASSERT_TRUE(rig.waitForState(PlaybackState::Reverse));
  engine.fastReverse();
  EXPECT_EQ(engine.getSpeed(), 16.0);

  // Going round the recording, each press doubles up to 65536 and no further.
  engine.setRepeat(true);
  for (int press = 0; press < 13; ++press) {
    engine.fastReverse();
  }
  EXPECT_EQ(engine.getSpeed(), 65536.0);
}

TEST(PlayerEngine, AModeSwitchStopsTheWorkerBeforeTheSoundOutputReopens) {
  EngineRig rig;
  RecordingPlan plan;
  plan.rounds = 400;
  rig.open(makePlaybackRecording(plan));
  ASSERT_TRUE(rig.waitForState(PlaybackState::Forward));
  std::vector<PlaybackState> statesAtOpen;
  rig.audio.beforeOpen = [&] { statesAtOpen.push_back(rig.engine.getState()); };
  rig.engine.setMode(EngineMode::Player, -1);
  rig.engine.setMode(EngineMode::Client, -1);
  EXPECT_EQ(statesAtOpen, (std::vector<PlaybackState>{PlaybackState::Idle, PlaybackState::Idle}));
}

TEST(PlayerEngine, SetUpRules) {
  EngineRig rig;
  const std::pair<int, int> limits[] = {{1, 1}, {4, 4}, {8, 9}, {16, 16}, {2, 4}, {5, 9}, {10, 16}};
  for (const auto& [channels, split] : limits) {
    rig.engine.configure(4, 1, channels, 8000);
    EXPECT_EQ(rig.engine.maxSplit(), split) << channels << " channels";
  }
  EXPECT_EQ(rig.engine.setMode(static_cast<EngineMode>(3), 4), 0);
  EXPECT_EQ(rig.engine.getMode(), EngineMode::Player);
  EXPECT_EQ(rig.engine.setMode(EngineMode::Player, -1), 1);
  EXPECT_EQ(rig.engine.maxSplit(), 16);
  EXPECT_EQ(rig.engine.setMode(EngineMode::Player, 9), 1);
  EXPECT_EQ(rig.engine.maxSplit(), 9);

  CalendarTime time;
  EXPECT_EQ(rig.engine.getFrameTime(time), 0);
  EXPECT_EQ(rig.engine.openSource(rig.dir.file("missing.QKV"), false), 0);
  EXPECT_FALSE(rig.engine.hasThread());
}

TEST(PlayerEngine, ARecordingSetsTheSplitLimitByTheCamerasItHolds) {
  EngineRig rig;
  const std::pair<int, int> limits[] = {{16, 16}, {2, 4}, {6, 9}, {4, 4}, {10, 16}};
  for (const auto& [channels, split] : limits) {
    RecordingPlan plan;
    plan.rounds = 2;
    plan.channels = channels;
    rig.open(makePlaybackRecording(plan));
    EXPECT_EQ(rig.engine.maxSplit(), split) << channels << " channels";
    EXPECT_EQ(rig.engine.selectView(split, 0), 1) << channels << " channels";
    EXPECT_EQ(rig.engine.selectView(split + 1, 0), 0) << channels << " channels";
  }
  // A view beyond a smaller recording's cameras falls back to all of them.
  rig.engine.selectView(16, 0);
  RecordingPlan four;
  four.rounds = 2;
  rig.open(makePlaybackRecording(four));
  int split = 0;
  int page = 0;
  rig.engine.getView(split, page);
  EXPECT_EQ(split, 4);

  // Client mode keeps the configured count, whatever the last recording held.
  RecordingPlan sixteen;
  sixteen.channels = 16;
  sixteen.rounds = 2;
  rig.open(makePlaybackRecording(sixteen));
  ASSERT_EQ(rig.engine.maxSplit(), 16);
  rig.engine.closeSource();
  rig.engine.setMode(EngineMode::Client, -1);
  EXPECT_EQ(rig.engine.maxSplit(), 4);
  const std::string path = rig.dir.file("client.QKV");
  writeFile(path, makePlaybackRecording(sixteen));
  ASSERT_EQ(rig.engine.openSource(path, false), 1);
  EXPECT_EQ(rig.engine.maxSplit(), 4);
  rig.engine.closeSource();
}

TEST(PlayerEngine, ClosingRightAfterOpeningAlwaysStopsTheWorker) {
  EngineRig rig;
  const std::string path = rig.dir.file("recording.QKV");
  RecordingPlan plan;
  plan.rounds = 2;
  writeFile(path, makePlaybackRecording(plan));
  // A stop given before the worker's loop begins must still end it; a lost
  // stop would leave closeSource waiting for ever.
  for (int i = 0; i < 200; ++i) {
    ASSERT_EQ(rig.engine.openSource(path, false), 1);
    rig.engine.closeSource();
    ASSERT_FALSE(rig.engine.hasThread());
  }
}

TEST(PlayerEngine, CountsInstancesAndKeepsTheClockWhileOneLives) {
  const int before = PlayerEngine::instanceCount();
  {
    EngineRig first;
    auto second = std::make_unique<EngineRig>();
    EXPECT_EQ(PlayerEngine::instanceCount(), before + 2);
    second.reset();
    EXPECT_TRUE(processPlaybackClock().isStarted());
  }
  EXPECT_EQ(PlayerEngine::instanceCount(), before);
  EXPECT_EQ(processPlaybackClock().isStarted(), before != 0);
}

TEST(PlayerEngine, FrameTimeFollowsPlayAndIsClearedWhenTheWorkerStops) {
  EngineRig rig;
  RecordingPlan plan;
  plan.rounds = 3;
  rig.open(makePlaybackRecording(plan));
  ASSERT_TRUE(rig.log.waitFor([&](const EventLog& l) { return l.pictureCount() == 12; }));
  CalendarTime time;
  ASSERT_EQ(rig.engine.getFrameTime(time), 1);
  EXPECT_EQ(time, rig.log.pictures().back().time);
  EXPECT_EQ(rig.engine.getCurrentFrameTime(), time);
  rig.engine.closeSource();
  EXPECT_EQ(rig.engine.getState(), PlaybackState::Idle);
  EXPECT_EQ(rig.engine.getFrameTime(time), 0);
  EXPECT_EQ(rig.engine.getCurrentFrameTime(), CalendarTime{});
}

// Plays plan at speed (reverse from the end when asked) and returns the
// bytes the sound ring took.
std::uint32_t soundBytesPlayed(EngineRig& rig, const RecordingPlan& plan, double speed, bool reverse = false) {
  rig.engine.adjustSpeed(speed);
  rig.open(makePlaybackRecording(plan));
  const std::size_t pictures = static_cast<std::size_t>(plan.rounds * plan.channels);
  EXPECT_TRUE(rig.log.waitFor([&](const EventLog& l) {
    return l.pictureCount() >= pictures && rig.engine.getState() == PlaybackState::Paused;
  }));
  if (reverse) {
    rig.engine.playReverse(speed);
    EXPECT_TRUE(rig.log.waitFor([&](const EventLog& l) {
      return l.pictureCount() >= 2 * pictures && rig.engine.getState() == PlaybackState::Paused;
    }));
  }
  return rig.engine.audioOutput().written();
}

TEST(PlayerEngine, SoundIsPlayedOnlyAtNormalSpeedForward) {
  RecordingPlan plan;
  plan.rounds = 10;
  plan.audioSamplesPerRound = 200;
  {
    EngineRig rig;
    EXPECT_EQ(soundBytesPlayed(rig, plan, 1.0), 2000u);
  }
  {
    EngineRig rig;
    EXPECT_EQ(soundBytesPlayed(rig, plan, 2.0), 0u);
  }
  {
    EngineRig rig;
    EXPECT_EQ(soundBytesPlayed(rig, plan, 1.0, true), 2000u) << "nothing more while playing back";
  }
}

TEST(PlayerEngine, FormatsWithSoundPerCameraPlayTheChannelShownAlone) {
  RecordingPlan plan;
  plan.rounds = 12;
  plan.audioChannelOf = [](int round) { return round % 4; };
  plan.audioSamplesOf = [](int round) { return 100 + 10 * (round % 4); };
  for (int format : {5, 6}) {
    plan.variant = format;
    {
      EngineRig rig(format);
      ASSERT_TRUE(rig.engine.selectView(4, 0));
      EXPECT_EQ(soundBytesPlayed(rig, plan, 1.0), 3u * 100) << "format " << format << ", four channels shown";
    }
    {
      EngineRig rig(format);
      ASSERT_TRUE(rig.engine.selectView(1, 2));
      EXPECT_EQ(soundBytesPlayed(rig, plan, 1.0), 3u * 120) << "format " << format << ", channel 2 alone";
    }
  }
  // Other formats play every audio frame, through the A-law expansion into
  // a 16-bit output, whatever audio codec the build names.
  plan.variant = 3;
  EngineRig rig(3);
  EXPECT_EQ(soundBytesPlayed(rig, plan, 1.0), 2u * (3 * (100 + 110 + 120 + 130)));
  EXPECT_EQ(rig.audio.lastFormat.bitsPerSample, 16);
}

TEST(PlayerEngine, ARecognisedRecordingOpensTheSoundOutputItsRecorderNeeds) {
  // A build for an 8-bit PCM recorder opening an A-law recorder's recording
  // and then one of its own.
  EngineRig rig(4);
  const std::string path = rig.dir.file("a-law.QKV");
  RecordingPlan plan;
  plan.rounds = 4;
  plan.audioSamplesPerRound = 100;
  for (const auto& [variant, bits] : {std::pair{2, 16}, std::pair{4, 8}}) {
    plan.variant = variant;
    writeFile(path, makePlaybackRecording(plan));
    ASSERT_EQ(rig.engine.openRecognised(path, ForcedReading{}, OpenedPlay::Paused), 1);
    EXPECT_EQ(rig.engine.config().videoFormat, variant);
    EXPECT_EQ(rig.audio.lastFormat.bitsPerSample, bits) << "variant " << variant;
  }
}

TEST(PlayerEngine, AFullSoundRingHoldsPlayBackButNotCommandsOrStop) {
  EngineRig rig;
  RecordingPlan plan;
  plan.rounds = 50;
  plan.audioSamplesPerRound = 4000;
  rig.open(makePlaybackRecording(plan));
  // The device never plays, so the second block waits for room for ever.
  ASSERT_TRUE(rig.log.waitFor([&](const EventLog& l) { return l.pictureCount() >= 8; }));
  const std::size_t shown = rig.log.pictureCount();
  EXPECT_LT(shown, 50u * 4);
  rig.engine.pause();
  ASSERT_TRUE(rig.waitForState(PlaybackState::Paused));
  rig.engine.closeSource();
  EXPECT_FALSE(rig.engine.hasThread());
}

// The device plays nothing until the test moves its position, so the first
// block (4000 bytes) fills the ring and the second (3500) waits for room.
// interrupt cuts that wait short and returns once the worker settled; then
// the device plays the first block and play goes on at normal speed to the
// end. Returns the bytes the ring took.
std::uint32_t soundAfterInterruptedWait(const std::function<void(EngineRig&)>& interrupt) {
  EngineRig rig;
  RecordingPlan plan;
  plan.rounds = 3;
  plan.channels = 4;
  plan.audioSamplesOf = [](int round) { return round == 0 ? 4000 : round == 1 ? 3500 : 0; };
  rig.open(makePlaybackRecording(plan));
  EXPECT_TRUE(rig.log.waitFor([&](const EventLog& l) {
    const std::vector<std::uint32_t> waits = rig.clock.waits();
    return l.pictureCount() == 8 && !waits.empty() && waits.back() == PlaybackLoop::kIdleWaitMs;
  }));
  interrupt(rig);
  rig.audio.position = 4000;
  EXPECT_TRUE(rig.commandAndWait([&] { rig.engine.play(1); }, PlaybackState::Forward, PlaybackState::Paused));
  EXPECT_EQ(rig.log.pictureCount(), 12u);
  return rig.engine.audioOutput().written();
}

void pauseAndWait(EngineRig& rig) {
  rig.engine.pause();
  ASSERT_TRUE(rig.waitForState(PlaybackState::Paused));
}

// Play goes on at double speed to the end of the recording.
void doubleSpeedToTheEnd(EngineRig& rig) {
  rig.engine.adjustSpeed(2.0);
  ASSERT_TRUE(rig.waitForState(PlaybackState::Paused));
}

TEST(PlayerEngine, ASoundBlockWaitingForRoomOutlivesAPauseButNotAChangeOfSpeed) {
  EXPECT_EQ(soundAfterInterruptedWait(pauseAndWait), 7500u) << "written once play resumed";
  EXPECT_EQ(soundAfterInterruptedWait(doubleSpeedToTheEnd), 4000u) << "dropped";
}

TEST(PlayerEngine, ASoundDeviceThatFailsDoesNotStopThePictures) {
  EngineRig rig;
  rig.audio.positionFails = true;
  RecordingPlan plan;
  plan.rounds = 20;
  plan.audioSamplesPerRound = 4000;
  rig.open(makePlaybackRecording(plan));
  EXPECT_TRUE(rig.log.waitFor(
      [&](const EventLog& l) { return l.pictureCount() == 80 && rig.engine.getState() == PlaybackState::Paused; }));
}

}  // namespace
}  // namespace marlin::testing
