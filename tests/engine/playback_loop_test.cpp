#include "engine/playback_loop.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>

#include "codec/encoder/video_encoder.h"
#include "engine/engine_rig.h"
#include "support/synthetic_recording.h"

namespace marlin::testing {
namespace {

bool pausedAfterPictures(const EventLog& log, std::size_t pictures, const PlayerEngine& engine) {
  return log.pictureCount() >= pictures && engine.getState() == PlaybackState::Paused;
}

TEST(PlaybackLoop, PlaysEveryChannelInReadingOrderAndPausesAtTheEnd) {
  EngineRig rig;
  RecordingPlan plan;
  plan.rounds = 12;
  rig.open(makePlaybackRecording(plan));
  ASSERT_TRUE(rig.log.waitFor([&](const EventLog& l) { return pausedAfterPictures(l, 48, rig.engine); }));

  const std::vector<ShownPicture> pictures = rig.log.pictures();
  ASSERT_EQ(pictures.size(), 48u);
  for (std::size_t i = 0; i < pictures.size(); ++i) {
    EXPECT_EQ(pictures[i].channel, static_cast<int>(i % 4));
    EXPECT_EQ(pictures[i].time.second, i / 4) << "block time of picture " << i;
    EXPECT_EQ(pictures[i].width, 640);
    if (i > 0) {
      EXPECT_GT(pictures[i].position, pictures[i - 1].position);
    }
  }
  // Opening played forward by itself; the end of the recording paused it.
  EXPECT_EQ(rig.log.states().front(), PlaybackState::Forward);
  EXPECT_EQ(rig.log.states().back(), PlaybackState::Paused);

  // A later play tries again from the same place and pauses again.
  const std::uint64_t end = rig.engine.getPosition();
  rig.engine.play(1);
  ASSERT_TRUE(rig.log.waitFor([](const EventLog& l) {
    const auto states = l.states();
    return states.size() >= 2 && states[states.size() - 2] == PlaybackState::Forward &&
           states.back() == PlaybackState::Paused;
  }));
  EXPECT_EQ(rig.engine.getPosition(), end);
  EXPECT_EQ(rig.log.pictureCount(), 48u);
}

TEST(PlaybackLoop, PacesEachPictureByItsFramePeriodAndTheSpeed) {
  struct Case {
    int format;
    std::uint8_t interval;
    double speed;
    std::uint32_t expectedMs;
  };
  // 224-line pictures: 16666 us per period for format 4, 33333 for format 2.
  for (const Case& c :
       {Case{4, 1, 1.0, 33}, Case{4, 0, 1.0, 16}, Case{4, 1, 0.5, 66}, Case{4, 1, 3.0, 11}, Case{2, 1, 1.0, 66}}) {
    EngineRig rig(c.format);
    rig.engine.adjustSpeed(c.speed);
    RecordingPlan plan;
    plan.rounds = 3;
    plan.variant = c.format;
    plan.frameInterval = c.interval;
    rig.open(makePlaybackRecording(plan));
    ASSERT_TRUE(rig.log.waitFor([&](const EventLog& l) { return pausedAfterPictures(l, 12, rig.engine); }));
    const std::vector<std::uint32_t> waits = rig.clock.waits();
    const auto paced = std::count(waits.begin(), waits.end(), c.expectedMs);
    // One wait per picture and per failed read at the end; the rest are the
    // waits of a paused loop.
    EXPECT_GE(paced, 12) << "format " << c.format << " speed " << c.speed;
    EXPECT_TRUE(std::all_of(waits.begin(), waits.end(),
                            [&](std::uint32_t ms) { return ms == c.expectedMs || ms == PlaybackLoop::kIdleWaitMs; }))
        << "format " << c.format << " speed " << c.speed;
  }
}

// Differences between the positions of consecutive pictures.
std::vector<std::uint64_t> steps(const std::vector<ShownPicture>& pictures, bool backward) {
  std::vector<std::uint64_t> result;
  for (std::size_t i = 1; i < pictures.size(); ++i) {
    result.push_back(backward ? pictures[i - 1].position - pictures[i].position
                              : pictures[i].position - pictures[i - 1].position);
  }
  return result;
}

// How many pictures 16x play showed before its first skip.
std::size_t picturesBeforeFirstSkip(const std::vector<ShownPicture>& pictures) {
  const std::vector<std::uint64_t> gaps = steps(pictures, false);
  const auto skip = std::find_if(gaps.begin(), gaps.end(), [](std::uint64_t gap) { return gap >= 327680; });
  return static_cast<std::size_t>(skip - gaps.begin()) + 1;
}

// From a pause to 16x forward with nothing read at 8x on the way: the worker
// is held while it reports taking 8x, until the second press is in.
void fastForwardToSixteen(EngineRig& rig) {
  rig.log.holdAt(PlaybackState::Forward, 8.0);
  rig.engine.fastForward();
  ASSERT_TRUE(rig.log.waitUntilHeld());
  rig.engine.fastForward();
  rig.log.release();
  ASSERT_EQ(rig.engine.getSpeed(), 16.0);
}

TEST(PlaybackLoop, FastForwardFromSixteenSkipsAfterEveryNinePictures) {
  EngineRig rig;
  RecordingPlan plan;
  plan.rounds = 700;
  rig.open(makePlaybackRecording(plan));
  ASSERT_TRUE(rig.waitForState(PlaybackState::Forward));
  rig.engine.pause();
  ASSERT_TRUE(rig.waitForState(PlaybackState::Paused));
  ASSERT_TRUE(rig.jumpAndWait(0));
  rig.engine.fastForward();
  ASSERT_TRUE(rig.waitForState(PlaybackState::Forward));
  const std::size_t before = rig.log.pictureCount();
  rig.engine.fastForward();
  EXPECT_EQ(rig.engine.getSpeed(), 16.0);
  ASSERT_TRUE(rig.log.waitFor([&](const EventLog& l) { return pausedAfterPictures(l, before + 1, rig.engine); }));

  const std::vector<std::uint64_t> gaps = steps(rig.log.picturesFrom(before), false);
  std::vector<std::size_t> skips;
  for (std::size_t i = 0; i < gaps.size(); ++i) {
    if (gaps[i] >= 327680) {
      EXPECT_LT(gaps[i], 327680u + 3 * 4096) << "skip " << i;
      skips.push_back(i);
    }
  }
  ASSERT_GE(skips.size(), 3u);
  for (std::size_t i = 1; i < skips.size(); ++i) {
    EXPECT_EQ(skips[i] - skips[i - 1], 9u) << "pictures between skips";
  }
}

TEST(PlaybackLoop, FastReverseSkipsBackButNeverPastTheStart) {
  EngineRig rig;
  RecordingPlan plan;
  plan.rounds = 150;
  const std::vector<std::uint8_t> recording = makePlaybackRecording(plan);
  rig.open(recording);
  ASSERT_TRUE(rig.log.waitFor([](const EventLog& l) { return l.pictureCount() >= 1; }));
  const std::uint64_t firstPictureEnd = rig.log.pictures().front().position;
  // To the last picture, as a user drags the position slider to the end.
  ASSERT_TRUE(rig.jumpAndWait(recording.size() - 4096));
  const std::size_t before = rig.log.pictureCount();

  // Nothing is read at 8x on the way, so the skips land on the same bytes every run.
  rig.log.holdAt(PlaybackState::Reverse, 8.0);
  rig.engine.fastReverse();
  ASSERT_TRUE(rig.log.waitUntilHeld());
  rig.engine.fastReverse();
  rig.log.release();
  EXPECT_EQ(rig.engine.getSpeed(), 16.0);
  ASSERT_TRUE(rig.log.waitFor([&](const EventLog& l) { return pausedAfterPictures(l, before + 20, rig.engine); }));

  const std::vector<ShownPicture> pictures = rig.log.picturesFrom(before);
  const std::vector<std::uint64_t> gaps = steps(pictures, true);
  EXPECT_TRUE(std::any_of(gaps.begin(), gaps.end(), [](std::uint64_t gap) { return gap >= 327680; }));
  // Reading went on to the first picture instead of skipping past the
  // start: read backward, which leaves the position at its start, or, when a
  // skip landed inside it (as the worker's pace may make it), read forward to
  // its end. The picture after it is another camera's.
  EXPECT_LE(pictures.back().position, firstPictureEnd);
  EXPECT_EQ(pictures.back().channel, 0);
}

TEST(PlaybackLoop, FastReverseShowsTheFirstPictureWhenASkipLandsInsideIt) {
  // A large first picture, then small ones up to where a skip of 16 x 20480
  // bytes back from the end lands in the middle of the first.
  YuvPicture noise;
  noise.resize(640, 224);
  std::mt19937 random(7);
  std::generate(noise.data.begin(), noise.data.end(), [&] { return static_cast<std::uint8_t>(random()); });
  YuvPicture grey;
  grey.resize(640, 224);
  std::fill(grey.data.begin(), grey.data.end(), 128);
  encoder::VideoEncoder encoder;
  encoder::EncodeParams coarse;
  coarse.quality = 8;
  synth::RecordingBuilder builder;
  builder.setTime(1262347200);
  builder.append(encoder.encode(noise, coarse));
  const std::uint64_t firstEnd = builder.written();
  const std::vector<std::uint8_t> small = encoder.encode(grey, encoder::EncodeParams{});
  ASSERT_LT(small.size() * 4, firstEnd);
  while (builder.written() < 16 * 20480 + firstEnd / 2) {
    builder.append(small);
  }
  builder.append(synth::makeAudioFrame(0, 16));

  EngineRig rig;
  rig.engine.adjustSpeed(8);
  rig.open(builder.finish());
  ASSERT_TRUE(rig.log.waitFor([&](const EventLog& l) { return pausedAfterPictures(l, 2, rig.engine); }));
  const std::uint64_t firstPicture = rig.log.pictures().front().position;
  const std::size_t before = rig.log.pictureCount();

  rig.log.holdAt(PlaybackState::Reverse, 8.0);
  rig.engine.fastReverse();
  ASSERT_TRUE(rig.log.waitUntilHeld());
  rig.engine.fastReverse();
  rig.log.release();
  ASSERT_TRUE(rig.log.waitFor([&](const EventLog& l) { return pausedAfterPictures(l, before + 1, rig.engine); }));
  EXPECT_EQ(rig.log.pictures().back().position, firstPicture);
}

TEST(PlaybackLoop, StepsStopOnTheNextShownPicturePassingAudioFrames) {
  EngineRig rig;
  RecordingPlan plan;
  plan.rounds = 5;
  plan.audioSamplesPerRound = 300;
  rig.engine.adjustSpeed(2.0);
  rig.open(makePlaybackRecording(plan));
  ASSERT_TRUE(rig.log.waitFor([&](const EventLog& l) { return pausedAfterPictures(l, 20, rig.engine); }));
  rig.engine.jumpTo(0);
  ASSERT_TRUE(rig.log.waitFor([&](const EventLog& l) { return pausedAfterPictures(l, 21, rig.engine); }));
  EXPECT_EQ(rig.log.pictures().back().channel, 0);

  for (int expected : {1, 2, 3, 0, 1}) {
    const std::size_t count = rig.log.pictureCount();
    rig.engine.stepForward();
    ASSERT_TRUE(rig.log.waitFor([&](const EventLog& l) { return pausedAfterPictures(l, count + 1, rig.engine); }));
    EXPECT_EQ(rig.log.pictureCount(), count + 1);
    EXPECT_EQ(rig.log.pictures().back().channel, expected);
  }
  const std::uint64_t forwardPosition = rig.engine.getPosition();
  const std::size_t count = rig.log.pictureCount();
  rig.engine.stepBackward();
  ASSERT_TRUE(rig.log.waitFor([&](const EventLog& l) { return pausedAfterPictures(l, count + 1, rig.engine); }));
  EXPECT_LT(rig.engine.getPosition(), forwardPosition);
}

TEST(PlaybackLoop, AStepPassesOverDamagedPicturesAndCountsThemForTheNextSkip) {
  EngineRig rig;
  RecordingPlan plan;
  plan.rounds = 200;
  plan.channels = 1;
  plan.damageOf = [](int round, int) {
    return round == 0 ? PictureDamage::Header : round == 1 ? PictureDamage::Body : PictureDamage::None;
  };
  // Held as the new run starts to play, the worker steps from the first frame instead.
  rig.log.holdAt(PlaybackState::Forward, 1.0);
  rig.open(makePlaybackRecording(plan));
  ASSERT_TRUE(rig.log.waitUntilHeld());
  ASSERT_TRUE(rig.commandAndWait(
      [&] {
        rig.engine.stepForward();
        rig.log.release();
      },
      PlaybackState::StepForward, PlaybackState::Paused));
  ASSERT_EQ(rig.log.pictureCount(), 1u) << "the step ends on a picture shown";
  EXPECT_EQ(rig.log.pictures().back().time.second, 2) << "round 2, the first picture that decodes";

  fastForwardToSixteen(rig);
  ASSERT_TRUE(rig.log.waitFor([&](const EventLog& l) { return pausedAfterPictures(l, 20, rig.engine); }));
  // The step counted the two pictures it passed over and the one it showed.
  EXPECT_EQ(picturesBeforeFirstSkip(rig.log.picturesFrom(1)), 6u);
}

TEST(PlaybackLoop, AJumpOntoAPictureThatDoesNotParseTimesItAndCountsItForTheNextSkip) {
  EngineRig rig;
  RecordingPlan plan;
  plan.rounds = 200;
  plan.channels = 1;
  plan.damageOf = [](int round, int) { return round == 6 ? PictureDamage::Header : PictureDamage::None; };
  const std::vector<std::uint8_t> recording = makePlaybackRecording(plan);
  rig.open(recording);
  ASSERT_TRUE(rig.log.waitFor([&](const EventLog& l) { return pausedAfterPictures(l, 199, rig.engine); }));
  // Reading round 5's picture leaves the source at the start of round 6's.
  const std::uint64_t damagedPicture = rig.log.pictures()[5].position;
  rig.engine.closeSource();

  // A new run, which has counted nothing yet, jumps before it plays.
  rig.log.holdAt(PlaybackState::Forward, 1.0);
  rig.open(recording);
  ASSERT_TRUE(rig.log.waitUntilHeld());
  const std::size_t before = rig.log.pictureCount();
  ASSERT_TRUE(rig.commandAndWait(
      [&] {
        rig.engine.jumpTo(damagedPicture);
        rig.log.release();
      },
      PlaybackState::Jump, PlaybackState::Paused));
  // The camera shows what it showed there: its last picture before the damaged one.
  ASSERT_EQ(rig.log.pictureCount(), before + 1);
  EXPECT_EQ(rig.log.pictures().back().time.second, 5);
  EXPECT_EQ(rig.engine.getCurrentFrameTime().second, 6);

  fastForwardToSixteen(rig);
  ASSERT_TRUE(rig.log.waitFor([&](const EventLog& l) { return pausedAfterPictures(l, before + 21, rig.engine); }));
  EXPECT_EQ(rig.log.picturesFrom(before + 1).front().time.second, 7);
  EXPECT_EQ(picturesBeforeFirstSkip(rig.log.picturesFrom(before + 1)), 8u) << "the jump counted round 6";
}

TEST(PlaybackLoop, JumpShowsThePictureAtTheTargetAndKeepsTheOldMarkBeyondTheEnd) {
  EngineRig rig;
  RecordingPlan plan;
  plan.rounds = 60;
  const std::vector<std::uint8_t> recording = makePlaybackRecording(plan);
  rig.open(recording);
  ASSERT_TRUE(rig.log.waitFor([&](const EventLog& l) { return pausedAfterPictures(l, 240, rig.engine); }));

  rig.engine.jumpTo(20 * 4096 + 100);
  ASSERT_TRUE(rig.log.waitFor([&](const EventLog& l) { return pausedAfterPictures(l, 241, rig.engine); }));
  const ShownPicture atTarget = rig.log.pictures().back();
  EXPECT_GT(atTarget.position, 20u * 4096);

  rig.engine.jumpTo(recording.size() + 4096);
  ASSERT_TRUE(rig.log.waitFor([&](const EventLog& l) { return pausedAfterPictures(l, 242, rig.engine); }));
  EXPECT_EQ(rig.log.pictures().back().position, atTarget.position);
  EXPECT_EQ(rig.log.pictures().back().channel, atTarget.channel);
}

TEST(PlaybackLoop, ShowsOnlyTheHalvesOfADualPictureThatAreNotHidden) {
  EngineRig rig(5);
  RecordingPlan plan;
  plan.rounds = 3;
  plan.channels = 1;
  plan.variant = 5;
  plan.dual = true;
  plan.firstHidden = true;
  rig.open(makePlaybackRecording(plan));
  ASSERT_TRUE(rig.log.waitFor([&](const EventLog& l) { return pausedAfterPictures(l, 3, rig.engine); }));
  for (const ShownPicture& picture : rig.log.pictures()) {
    EXPECT_EQ(picture.channel, 1);
    EXPECT_EQ(picture.width, 320);
    EXPECT_EQ(picture.height, 224);
  }
}

}  // namespace
}  // namespace marlin::testing
