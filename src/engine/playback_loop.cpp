#include "engine/playback_loop.h"

#include <algorithm>

#include "base/frame_period.h"
#include "engine/player_engine.h"

namespace marlin {

namespace {

// Room the source needs past the largest frame for its scratch bytes.
constexpr std::size_t kFrameBufferBytes = 0x20010;
constexpr std::size_t kPcmBufferBytes = 8192;
// From this speed on the loop skips through the file instead of pacing.
constexpr double kSkippingSpeed = 16.0;
constexpr int kPicturesBetweenSkips = 9;
constexpr std::uint64_t kSkipBytesPerSpeedUnit = 20480;
constexpr int kFailedReadsBeforePause = 5;
// Credit for the time a played audio block took, taken off the next wait.
constexpr std::uint32_t kAudioCreditMs = 5;
constexpr std::uint32_t kEndOfRunWaitMs = 100;

}  // namespace

PlaybackLoop::PlaybackLoop(PlayerEngine& engine)
    : engine_(engine), frame_(kFrameBufferBytes), pcm_(kPcmBufferBytes) {}

PlaybackState PlaybackLoop::state() const { return engine_.getState(); }

void PlaybackLoop::setState(PlaybackState state) {
  engine_.state_ = static_cast<int>(state);
  const double speed = engine_.speed_;
  if (engine_.observer_ != nullptr && (state != lastReportedState_ || speed != lastReportedSpeed_)) {
    lastReportedState_ = state;
    lastReportedSpeed_ = speed;
    engine_.observer_->stateChanged(state, speed);
  }
}

// The stop event was reset when the thread started; resetting it here again
// would lose a stop given in between, and the loop would never end.
int PlaybackLoop::run() {
  engine_.post(EngineCommand::Play);
  engine_.audioOut_.startLoop();
  frameStartMs_ = 0;
  PlaybackClock& clock = engine_.clock_;
  while (engine_.running_) {
    const int signalled = clock.waitAny({&engine_.stopEvent_, &engine_.commandEvent_}, 0);
    if (signalled == 0) {
      break;
    }
    if (signalled == 1) {
      takeCommand();
      continue;
    }
    engine_.audioOut_.service();
    if (!engine_.source_.isOpen()) {
      waitForCommand(kIdleWaitMs);
      continue;
    }
    if (frameStartMs_ == 0) {
      frameStartMs_ = clock.now();
    }
    Next next = Next::Pace;
    switch (state()) {
      case PlaybackState::Forward:
        next = readForward();
        break;
      case PlaybackState::Reverse:
        next = readReverse();
        break;
      case PlaybackState::StepForward:
        next = readStep(false);
        break;
      case PlaybackState::StepBackward:
        next = readStep(true);
        break;
      case PlaybackState::Jump:
        next = readJump();
        break;
      default:
        // Paused or idle: nothing to read until a command comes.
        waitForCommand(kIdleWaitMs);
        next = Next::Continue;
        break;
    }
    if (next == Next::Pace) {
      pace();
    }
  }
  engine_.setCurrentFrameTime(CalendarTime{});
  setState(PlaybackState::Idle);
  engine_.commandEvent_.reset();
  clock.waitAny({}, kEndOfRunWaitMs);
  return 1;
}

void PlaybackLoop::takeCommand() {
  const auto command = static_cast<EngineCommand>(engine_.command_.load());
  engine_.commandEvent_.reset();
  switch (command) {
    case EngineCommand::Pause:
      setState(PlaybackState::Paused);
      break;
    case EngineCommand::Play:
      setState(PlaybackState::Forward);
      break;
    case EngineCommand::PlayReverse:
      setState(PlaybackState::Reverse);
      break;
    case EngineCommand::StepForward:
      setState(PlaybackState::StepForward);
      break;
    case EngineCommand::StepBackward:
      setState(PlaybackState::StepBackward);
      break;
    case EngineCommand::JumpTo:
      setState(PlaybackState::Jump);
      break;
    case EngineCommand::None:
      break;
  }
}

bool PlaybackLoop::waitForCommand(std::uint32_t ms) {
  return engine_.clock_.waitAny({&engine_.stopEvent_, &engine_.commandEvent_}, ms) >= 0;
}

void PlaybackLoop::skipForward() {
  StreamSource& source = engine_.source_;
  const auto skip = static_cast<std::uint64_t>(engine_.speed_.load()) * kSkipBytesPerSpeedUnit;
  source.setPosition(source.getPosition() + skip);
  skipCounter_ = 0;
}

void PlaybackLoop::skipBackward() {
  StreamSource& source = engine_.source_;
  const auto skip = static_cast<std::uint64_t>(engine_.speed_.load()) * kSkipBytesPerSpeedUnit;
  const std::uint64_t position = source.getPosition();
  if (position > skip) {
    source.setPosition(position - skip);
  }
  skipCounter_ = 0;
}

void PlaybackLoop::countFailedRead() {
  if (++failedReads_ >= kFailedReadsBeforePause) {
    setState(PlaybackState::Paused);
    failedReads_ = 0;
  }
}

PlaybackLoop::Next PlaybackLoop::readForward() {
  if (engine_.speed_ >= kSkippingSpeed && skipCounter_ >= kPicturesBetweenSkips) {
    skipForward();
  }
  const std::uint32_t length = engine_.source_.readNext(frame_.data());
  if (length == 0) {
    countFailedRead();
    return Next::Pace;
  }
  failedReads_ = 0;
  if (engine_.source_.header().isAudio) {
    handleAudio(length);
    return Next::Continue;
  }
  if (!parseAndCheckChannel(length)) {
    return Next::Pace;
  }
  return handleVideo(length);
}

PlaybackLoop::Next PlaybackLoop::readReverse() {
  if (engine_.speed_ >= kSkippingSpeed && skipCounter_ >= kPicturesBetweenSkips) {
    skipBackward();
  }
  const std::uint32_t length = engine_.source_.readPrevious(frame_.data());
  if (length == 0) {
    countFailedRead();
    return Next::Continue;
  }
  failedReads_ = 0;
  if (engine_.source_.header().isAudio || !parseAndCheckChannel(length)) {
    return Next::Pace;
  }
  return handleVideo(length);
}

PlaybackLoop::Next PlaybackLoop::readStep(bool backward) {
  StreamSource& source = engine_.source_;
  const std::uint32_t length = backward ? source.readPrevious(frame_.data()) : source.readNext(frame_.data());
  if (length == 0) {
    setState(PlaybackState::Paused);
    return Next::Pace;
  }
  if (source.header().isAudio || !parseAndCheckChannel(length)) {
    return Next::Pace;
  }
  setState(PlaybackState::Paused);
  return handleVideo(length);
}

PlaybackLoop::Next PlaybackLoop::readJump() {
  StreamSource& source = engine_.source_;
  source.setMark(engine_.jumpTarget_);
  const std::uint32_t length = source.readFromMark(frame_.data());
  setState(PlaybackState::Paused);
  if (length == 0 || engine_.decoder_.ParseHeader(frame_.data(), length) == 0) {
    return Next::Pace;
  }
  return handleVideo(length);
}

// Parses a video frame's header and checks that a channel it shows is
// switched on. A frame whose header does not parse is counted as a picture
// handled (it would have failed decoding) and not shown.
bool PlaybackLoop::parseAndCheckChannel(std::uint32_t length) {
  VideoDecoder& decoder = engine_.decoder_;
  if (decoder.ParseHeader(frame_.data(), length) == 0) {
    ++skipCounter_;
    return false;
  }
  const auto shown = [this](int channel) { return engine_.channelShown_[channel & 0x0F] != 0; };
  const codec::PictureHeader& header = decoder.header();
  if (!header.dual) {
    return shown(static_cast<int>(engine_.source_.header().channel));
  }
  return (!header.firstHidden && shown(header.firstChannel)) || (!header.secondHidden && shown(header.secondChannel));
}

PlaybackLoop::Next PlaybackLoop::handleVideo(std::uint32_t length) {
  engine_.setCurrentFrameTime(engine_.source_.header().blockTime);
  ++skipCounter_;
  VideoDecoder& decoder = engine_.decoder_;
  const YuvPicture* picture = pictures_.decodeParsed(decoder, frame_.data(), length);
  if (picture == nullptr) {
    return Next::Pace;
  }
  engine_.framePeriodUs_ = framePeriodMicroseconds(picture->height, decoder.variant());
  const codec::PictureHeader& header = decoder.header();
  if (!header.dual) {
    showPicture(decoder.GetChannel(), picture->data.data(), picture->width, picture->height);
    return Next::Pace;
  }
  splitDualPicture(picture->data.data(), picture->width, picture->height, firstHalf_, secondHalf_);
  if (!header.firstHidden) {
    showPicture(header.firstChannel, firstHalf_.data.data(), firstHalf_.width, firstHalf_.height);
  }
  if (!header.secondHidden) {
    showPicture(header.secondChannel, secondHalf_.data.data(), secondHalf_.width, secondHalf_.height);
  }
  return Next::Pace;
}

void PlaybackLoop::showPicture(int channel, const std::uint8_t* picture, int width, int height) {
  const CalendarTime& time = engine_.source_.header().blockTime;
  if (engine_.renderer_.PutPicture(channel, time, picture, width, height) && engine_.observer_ != nullptr) {
    engine_.observer_->pictureShown(channel, time, width, height, engine_.source_.getPosition());
  }
}

// The audio channel heard with the formats that carry one per camera: the
// channel shown alone, or channel 0 while several are shown.
bool PlaybackLoop::audioRouteAccepts(std::uint32_t channel) const {
  if (!carriesAudioPerCamera(engine_.config_.videoFormat)) {
    return true;
  }
  int split = 0;
  int page = 0;
  engine_.renderer_.GetSplit(split, page);
  const std::uint32_t heard = split == 1 && page < 4 ? static_cast<std::uint32_t>(page) : 0;
  return channel == heard;
}

void PlaybackLoop::handleAudio(std::uint32_t length) {
  engine_.setCurrentFrameTime(engine_.source_.header().blockTime);
  if (engine_.speed_ != 1.0 || state() != PlaybackState::Forward || !engine_.audioOut_.isOpen()) {
    return;
  }
  if (!audioRouteAccepts(engine_.source_.header().channel)) {
    return;
  }
  // A frame too long for the PCM buffer (a damaged recording) is not played.
  const std::uint32_t bytesPerSample = engine_.audioDecoder_.codec() >= 5 ? 2 : 1;
  if (static_cast<std::uint64_t>(length) * bytesPerSample > pcm_.size()) {
    return;
  }
  std::uint32_t pcmLength = 0;
  engine_.audioDecoder_.convert(frame_.data(), length, pcm_.data(), pcmLength);
  const bool aLaw = recordsALawAudio(engine_.config_.videoFormat);
  if (writeAudioBlock(pcm_.data(), pcmLength, aLaw)) {
    frameStartMs_ -= kAudioCreditMs;
  }
}

// Writes one block, waiting while the ring is full: the sound then holds the
// pictures back. Gives up when the block can never fit, when the speed or
// state changes, when a command or stop arrives, or when the device fails.
bool PlaybackLoop::writeAudioBlock(const std::uint8_t* pcm, std::uint32_t length, bool aLaw) {
  AudioOutput& out = engine_.audioOut_;
  const std::uint32_t ringBytes = aLaw ? 2 * length : length;
  if (ringBytes + AudioOutput::kMargin > AudioOutput::kRingSize) {
    return false;
  }
  for (;;) {
    if ((aLaw ? out.writeALaw(pcm, length) : out.writePcm(pcm, length)) == 1) {
      return true;
    }
    if (out.positionFailed() || out.ring().empty() || engine_.speed_ != 1.0 || state() != PlaybackState::Forward) {
      return false;
    }
    // Wait about as long as the device needs to free the missing room.
    const std::uint32_t missing = out.queued() + ringBytes + AudioOutput::kMargin - AudioOutput::kRingSize;
    const std::uint32_t rate = std::max<std::uint32_t>(out.sampleRate() * out.bitsPerSample() / 8, 1);
    const auto waitMs = static_cast<std::uint32_t>(std::min<std::uint64_t>(
        std::max<std::uint64_t>(static_cast<std::uint64_t>(missing) * 1000 / rate, 1), kIdleWaitMs));
    if (waitForCommand(waitMs)) {
      return false;
    }
    out.service();
  }
}

void PlaybackLoop::pace() {
  PlaybackClock& clock = engine_.clock_;
  const auto elapsedMs = static_cast<std::int32_t>(clock.now() - frameStartMs_);
  const PlaybackState current = state();
  const double speed = engine_.speed_;
  if ((current == PlaybackState::Forward || current == PlaybackState::Reverse) && speed < kSkippingSpeed) {
    const auto periods = static_cast<std::uint32_t>(engine_.source_.header().frameInterval) + 1;
    const std::uint32_t product = periods * static_cast<std::uint32_t>(engine_.framePeriodUs_.load());
    const auto targetMs = static_cast<std::int64_t>(static_cast<double>(product) / speed) / 1000;
    if (targetMs > elapsedMs) {
      waitForCommand(static_cast<std::uint32_t>(targetMs - elapsedMs));
    }
  }
  frameStartMs_ = 0;
}

}  // namespace marlin
