#include "engine/engine_rig.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "codec/encoder/video_encoder.h"
#include "support/synthetic_recording.h"

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

void EventLog::stateChanged(PlaybackState state, double /*speed*/) {
  std::lock_guard guard(lock_);
  states_.push_back(state);
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
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!condition(*this)) {
    if (std::chrono::steady_clock::now() >= deadline) {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

std::vector<std::uint8_t> makePlaybackRecording(const RecordingPlan& plan) {
  YuvPicture grey;
  grey.resize(640, 224);
  std::fill(grey.data.begin(), grey.data.end(), 128);
  encoder::VideoEncoder encoder;
  std::vector<std::vector<std::uint8_t>> pictures;
  for (int channel = 0; channel < plan.channels; ++channel) {
    encoder::EncodeParams params;
    params.variant = plan.variant;
    params.channel = channel;
    params.dual = plan.dual;
    params.secondChannel = channel + 1;
    params.firstHidden = plan.firstHidden;
    params.secondHidden = plan.secondHidden;
    pictures.push_back(encoder.encode(grey, params));
  }
  const auto mask = static_cast<std::uint16_t>((1u << plan.channels) - 1);
  synth::RecordingBuilder builder(isBigEndianVariant(plan.variant), mask, plan.frameInterval);
  std::uint32_t samples = 0;
  for (int round = 0; round < plan.rounds; ++round) {
    builder.setTime(plan.startTime + static_cast<std::uint32_t>(round));
    for (const std::vector<std::uint8_t>& picture : pictures) {
      builder.append(picture);
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
  engine.configure(videoFormat, audioCodec, channels, 8000, 0);
  engine.setMode(static_cast<int>(EngineMode::Player), -1);
  engine.setObserver(&log);
}

EngineRig::~EngineRig() { engine.closeSource(); }

void EngineRig::open(const std::vector<std::uint8_t>& recording) {
  const std::string path = dir.file("recording.QKV");
  writeFile(path, recording);
  ASSERT_EQ(engine.openSource(path, false), 1);
  ASSERT_TRUE(log.waitFor([](const EventLog& l) { return !l.states().empty(); }));
}

bool EngineRig::jumpAndWait(std::uint64_t position) {
  const std::size_t before = log.states().size();
  engine.jumpTo(position);
  return log.waitFor([&](const EventLog& l) {
    const auto states = l.states();
    return states.size() >= before + 2 && states[states.size() - 2] == PlaybackState::Jump &&
           states.back() == PlaybackState::Paused;
  });
}

bool EngineRig::waitForState(PlaybackState state) const {
  return log.waitFor([&](const EventLog&) { return engine.getState() == state; });
}

}  // namespace marlin::testing
