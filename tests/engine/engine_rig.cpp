#include "engine/engine_rig.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <utility>

#include "codec/encoder/video_encoder.h"
#include "support/synthetic_recording.h"
#include "support/wait_until.h"

namespace marlin::testing {

std::uint32_t ManualClock::now() const {
  std::lock_guard guard(lock_);
  return now_;
}

int ManualClock::waitAny(std::initializer_list<const ManualResetEvent*> events, std::uint32_t ms) {
  if (ms != 0) {
    std::lock_guard guard(lock_);
    waits_.push_back(ms);
  }
  const int signalled = marlin::waitAny(events, std::chrono::milliseconds(std::min<std::uint32_t>(ms, 1)));
  if (signalled < 0) {
    std::lock_guard guard(lock_);
    now_ += ms;
  }
  return signalled;
}

std::vector<std::uint32_t> ManualClock::waits() const {
  std::lock_guard guard(lock_);
  return waits_;
}

void ManualClock::clearWaits() {
  std::lock_guard guard(lock_);
  waits_.clear();
}

void EventLog::pictureShown(int channel, const CalendarTime& time, int width, int height, std::uint64_t position) {
  std::lock_guard guard(lock_);
  pictures_.push_back({channel, time, width, height, position});
}

void EventLog::stateChanged(PlaybackState state, double speed) {
  std::unique_lock guard(lock_);
  states_.push_back(state);
  if (holdArmed_ && state == holdState_ && speed == holdSpeed_) {
    holdArmed_ = false;
    held_ = true;
    released_.wait_for(guard, std::chrono::seconds(30), [this] { return !held_; });
    held_ = false;
  }
}

void EventLog::holdAt(PlaybackState state, double speed) {
  std::lock_guard guard(lock_);
  holdArmed_ = true;
  holdState_ = state;
  holdSpeed_ = speed;
}

bool EventLog::waitUntilHeld() const {
  return waitFor([this](const EventLog&) {
    std::lock_guard guard(lock_);
    return held_;
  });
}

void EventLog::release() {
  {
    std::lock_guard guard(lock_);
    held_ = false;
  }
  released_.notify_all();
}

std::vector<ShownPicture> EventLog::pictures() const {
  std::lock_guard guard(lock_);
  return pictures_;
}

std::vector<ShownPicture> EventLog::picturesFrom(std::size_t first) const {
  std::lock_guard guard(lock_);
  return {pictures_.begin() + static_cast<std::ptrdiff_t>(std::min(first, pictures_.size())), pictures_.end()};
}

std::vector<PlaybackState> EventLog::states() const {
  std::lock_guard guard(lock_);
  return states_;
}

std::size_t EventLog::pictureCount() const {
  std::lock_guard guard(lock_);
  return pictures_.size();
}

bool EventLog::waitFor(const std::function<bool(const EventLog&)>& condition) const {
  return waitUntil([&] { return condition(*this); });
}

namespace {

// The header carries the low four bits of the quality: 15 is refused by
// every parser, and 16 becomes quality 0, which parses but never decodes.
int encodedQuality(PictureDamage damage) {
  switch (damage) {
    case PictureDamage::Header:
      return 15;
    case PictureDamage::Body:
      return 16;
    case PictureDamage::None:
      break;
  }
  return encoder::EncodeParams{}.quality;
}

}  // namespace

std::vector<std::uint8_t> makePlaybackRecording(const RecordingPlan& plan) {
  YuvPicture grey;
  grey.resize(640, 224);
  std::fill(grey.data.begin(), grey.data.end(), 128);
  encoder::VideoEncoder encoder;
  // Each channel's picture of each kind, encoded once when first needed.
  std::map<std::pair<int, PictureDamage>, std::vector<std::uint8_t>> pictures;
  const auto pictureOf = [&](int channel, PictureDamage damage) -> const std::vector<std::uint8_t>& {
    std::vector<std::uint8_t>& picture = pictures[{channel, damage}];
    if (picture.empty()) {
      encoder::EncodeParams params;
      params.variant = plan.variant;
      params.quality = encodedQuality(damage);
      params.channel = channel;
      params.dual = plan.dual;
      params.secondChannel = channel + 1;
      params.firstHidden = plan.firstHidden;
      params.secondHidden = plan.secondHidden;
      picture = encoder.encode(grey, params);
    }
    return picture;
  };
  const auto mask = static_cast<std::uint16_t>((1u << plan.channels) - 1);
  synth::RecordingBuilder builder(isBigEndianVariant(plan.variant), mask, plan.frameInterval);
  std::uint32_t samples = 0;
  for (int round = 0; round < plan.rounds; ++round) {
    builder.setTime(plan.startTime + static_cast<std::uint32_t>(round));
    for (int channel = 0; channel < plan.channels; ++channel) {
      builder.append(pictureOf(channel, plan.damageOf(round, channel)));
    }
    const int sampleCount = plan.audioSamplesOf ? plan.audioSamplesOf(round) : plan.audioSamplesPerRound;
    if (sampleCount > 0) {
      builder.append(synth::makeAudioFrame(static_cast<unsigned>(plan.audioChannelOf(round)),
                                           static_cast<std::size_t>(sampleCount), samples));
      samples += static_cast<std::uint32_t>(sampleCount);
    }
  }
  // A frame ends where the next one starts: this one, never delivered itself,
  // lets the last picture be read.
  builder.append(synth::makeAudioFrame(0, 16));
  return builder.finish();
}

EngineRig::EngineRig(int videoFormat, int channels, int audioCodec) {
  engine.configure(videoFormat, audioCodec, channels, 8000);
  engine.setMode(EngineMode::Player, -1);
  engine.setObserver(&log);
}

EngineRig::~EngineRig() { engine.closeSource(); }

void EngineRig::open(const std::vector<std::uint8_t>& recording) {
  const std::string path = dir.file("recording.QKV");
  writeFile(path, recording);
  ASSERT_EQ(engine.openSource(path, false), 1);
  ASSERT_TRUE(log.waitFor([](const EventLog& l) { return !l.states().empty(); }));
}

bool EngineRig::commandAndWait(const std::function<void()>& command, PlaybackState taken, PlaybackState settled) {
  const std::size_t before = log.states().size();
  command();
  return log.waitFor([&](const EventLog& l) {
    const auto states = l.states();
    return states.size() >= before + 2 && states[states.size() - 2] == taken && states.back() == settled;
  });
}

bool EngineRig::jumpAndWait(std::uint64_t position) {
  return commandAndWait([&] { engine.jumpTo(position); }, PlaybackState::Jump, PlaybackState::Paused);
}

bool EngineRig::waitForState(PlaybackState state) const {
  return log.waitFor([&](const EventLog&) { return engine.getState() == state; });
}

}  // namespace marlin::testing
