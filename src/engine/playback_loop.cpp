#include "engine/playback_loop.h"

#include <algorithm>

#include "base/codec_ids.h"

namespace marlin {

namespace {

// Room the source needs past the largest frame for its scratch bytes.
constexpr std::size_t kFrameBufferBytes = 0x20010;
// From this speed on the loop skips through the file instead of pacing.
constexpr double kSkippingSpeed = 16.0;
constexpr int kPicturesBetweenSkips = 9;
constexpr std::uint64_t kSkipBytesPerSpeedUnit = 20480;
constexpr int kFailedReadsBeforePause = 5;
// Credit for the time a played audio block took, taken off the next wait.
constexpr std::uint32_t kAudioCreditMs = 5;
constexpr std::uint32_t kEndOfRunWaitMs = 100;

}  // namespace

PlaybackLoop::PlaybackLoop(const WorkerContext& context) : context_(context), frame_(kFrameBufferBytes) {}

void PlaybackLoop::setState(PlaybackState state) {
  context_.status.setState(state);
  const double current = speed();
  if (context_.observer != nullptr && (state != lastReportedState_ || current != lastReportedSpeed_)) {
    lastReportedState_ = state;
    lastReportedSpeed_ = current;
    context_.observer->stateChanged(state, current);
  }
}

// The stop event was reset when the thread started; resetting it here again
// would lose a stop given in between, and the loop would never end.
int PlaybackLoop::run() {
  context_.mailbox.post(EngineCommand::Play);
  context_.pipeline.startSound();
  frameStartMs_ = 0;
  PlaybackClock& clock = context_.clock;
  while (context_.running) {
    const int signalled = clock.waitAny({&context_.stopEvent, &context_.mailbox.event()}, 0);
    if (signalled == 0) {
      break;
    }
    if (signalled == 1) {
      takeCommand();
      continue;
    }
    context_.pipeline.serviceSound();
    if (!context_.source.isOpen()) {
      waitForCommand(kIdleWaitMs);
      continue;
    }
    if (frameStartMs_ == 0) {
      frameStartMs_ = clock.now();
    }
    dropSoundNoLongerWanted();
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
  context_.status.setFrameTime(CalendarTime{});
  setState(PlaybackState::Idle);
  context_.mailbox.clear();
  clock.waitAny({}, kEndOfRunWaitMs);
  return 1;
}

void PlaybackLoop::takeCommand() {
  switch (context_.mailbox.take()) {
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
  return context_.clock.waitAny({&context_.stopEvent, &context_.mailbox.event()}, ms) >= 0;
}

void PlaybackLoop::skipForward() {
  StreamSource& source = context_.source;
  const auto skip = static_cast<std::uint64_t>(speed()) * kSkipBytesPerSpeedUnit;
  source.setPosition(source.getPosition() + skip);
  skipCounter_ = 0;
}

void PlaybackLoop::skipBackward() {
  StreamSource& source = context_.source;
  const auto skip = static_cast<std::uint64_t>(speed()) * kSkipBytesPerSpeedUnit;
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

// A read that delivered nothing and could not move the read position has
// reached the end of the recording (reading backward, its start); a damaged
// stretch always moves it on.
bool PlaybackLoop::startOverFromOtherEnd(std::uint64_t positionBefore, bool backward) {
  StreamSource& source = context_.source;
  if (!context_.status.repeat() || !readSinceStartOver_ || source.getPosition() != positionBefore) {
    return false;
  }
  if (backward) {
    source.setPositionToEnd();
  } else {
    source.setPosition(0);
  }
  readSinceStartOver_ = false;
  failedReads_ = 0;
  return true;
}

PlaybackLoop::Next PlaybackLoop::readForward() {
  if (context_.pipeline.hasPendingSound()) {
    // Play resumed: the block a command cut short goes before anything new.
    writeSound();
    return Next::Continue;
  }
  if (speed() >= kSkippingSpeed && skipCounter_ >= kPicturesBetweenSkips) {
    skipForward();
  }
  StreamSource& source = context_.source;
  const std::uint64_t before = source.getPosition();
  const std::uint32_t length = source.readNext(frame_.data());
  if (length == 0) {
    if (!startOverFromOtherEnd(before, false)) {
      countFailedRead();
    }
    return Next::Pace;
  }
  failedReads_ = 0;
  readSinceStartOver_ = true;
  if (source.header().isAudio) {
    handleAudio(length);
    return Next::Continue;
  }
  if (parseAndCheckChannel(length)) {
    handleParsedPicture(length);
  }
  return Next::Pace;
}

PlaybackLoop::Next PlaybackLoop::readReverse() {
  if (speed() >= kSkippingSpeed && skipCounter_ >= kPicturesBetweenSkips) {
    skipBackward();
  }
  StreamSource& source = context_.source;
  const std::uint64_t before = source.getPosition();
  const std::uint32_t length = source.readPrevious(frame_.data());
  if (length == 0) {
    if (!startOverFromOtherEnd(before, true)) {
      countFailedRead();
    }
    return Next::Continue;
  }
  failedReads_ = 0;
  readSinceStartOver_ = true;
  if (!source.header().isAudio && parseAndCheckChannel(length)) {
    handleParsedPicture(length);
  }
  return Next::Pace;
}

// A step ends on the next picture that is shown; what it passes over on the
// way is counted as in play, and the state stays, so the next iteration
// reads on.
PlaybackLoop::Next PlaybackLoop::readStep(bool backward) {
  StreamSource& source = context_.source;
  const std::uint32_t length = backward ? source.readPrevious(frame_.data()) : source.readNext(frame_.data());
  if (length == 0) {
    setState(PlaybackState::Paused);
    return Next::Pace;
  }
  if (!source.header().isAudio && parseAndCheckChannel(length) && handleParsedPicture(length)) {
    setState(PlaybackState::Paused);
  }
  return Next::Pace;
}

PlaybackLoop::Next PlaybackLoop::readJump() {
  StreamSource& source = context_.source;
  source.setMark(context_.mailbox.jumpTarget());
  const std::uint32_t length = source.readFromMark(frame_.data());
  setState(PlaybackState::Paused);
  if (length != 0) {
    handlePicture(length);
  }
  return Next::Pace;
}

// Parses a video frame's header and checks that a channel it shows is
// switched on. A frame whose header does not parse is not shown, and is
// counted as frame handling would have counted it before failing on it.
bool PlaybackLoop::parseAndCheckChannel(std::uint32_t length) {
  FramePipeline& pipeline = context_.pipeline;
  if (!pipeline.parsePicture(frame_.data(), length)) {
    ++skipCounter_;
    return false;
  }
  const auto shown = [this](int channel) { return context_.channelShown[channel & 0x0F] != 0; };
  const codec::PictureHeader& header = pipeline.pictureHeader();
  if (!header.dual) {
    return shown(static_cast<int>(context_.source.header().channel));
  }
  return (!header.firstHidden && shown(header.firstChannel)) || (!header.secondHidden && shown(header.secondChannel));
}

// Frame handling times and counts a picture before its header is parsed, so
// that one which then fails to parse or decode still counts towards the next
// fast skip.
void PlaybackLoop::countPicture() {
  const FrameHeader& header = context_.source.header();
  context_.status.setFrameTime(header.blockTime);
  context_.status.setBlockLayout(header.channelMask, header.frameInterval);
  ++skipCounter_;
}

// Frame handling of a picture whose header has not been parsed yet.
void PlaybackLoop::handlePicture(std::uint32_t length) {
  countPicture();
  if (context_.pipeline.parsePicture(frame_.data(), length)) {
    showParsedPicture(length);
  }
}

bool PlaybackLoop::handleParsedPicture(std::uint32_t length) {
  countPicture();
  return showParsedPicture(length);
}

bool PlaybackLoop::showParsedPicture(std::uint32_t length) {
  const StreamSource& source = context_.source;
  return context_.pipeline.showParsedPicture(frame_.data(), length, source.header().blockTime, source.getPosition());
}

bool PlaybackLoop::soundWanted() const { return speed() == 1.0 && state() == PlaybackState::Forward; }

void PlaybackLoop::handleAudio(std::uint32_t length) {
  const FrameHeader& header = context_.source.header();
  context_.status.setFrameTime(header.blockTime);
  captureAudio(length);
  FramePipeline& pipeline = context_.pipeline;
  if (!soundWanted() || !pipeline.soundOpen()) {
    return;
  }
  const CodecVariant format = context_.config.videoFormat;
  if (carriesAudioPerCamera(format) && header.channel != pipeline.cameraHeard()) {
    return;
  }
  const SoundEncoding encoding = recordsALawAudio(format) ? SoundEncoding::ALaw : SoundEncoding::Pcm;
  if (pipeline.takeSound(frame_.data(), length, encoding)) {
    writeSound();
  }
}

// A capture keeps the recording's sound as stored, whether it is played or
// not; of the big-endian recorder's sound, one channel per camera, it keeps
// camera 0's.
void PlaybackLoop::captureAudio(std::uint32_t length) {
  const bool kept = context_.config.videoFormat != kVariantQkc || context_.source.header().channel == 0;
  if (context_.avi.recording != 0 && kept) {
    context_.avi.recorder.writeAudio(frame_.data(), length);
  }
}

// While the ring is full the sound holds the pictures back. A command or a
// stop cuts the wait short and leaves the block pending, so a key press does
// not lose a block of sound; the wait is also cut into short pieces, so a
// change of speed is seen soon.
void PlaybackLoop::writeSound() {
  const RoomWait wait{[this] { return soundWanted(); },
                      [this](std::uint32_t ms) { return waitForCommand(std::min(ms, kIdleWaitMs)); }};
  if (context_.pipeline.writePendingSound(wait) == SoundWrite::Written) {
    frameStartMs_ -= kAudioCreditMs;
  }
}

// A pending block survives a pause, to be written when play resumes at
// normal speed; a change of speed or direction, a step or a jump moves the
// reading away from it.
void PlaybackLoop::dropSoundNoLongerWanted() {
  const bool resumable = speed() == 1.0 && (state() == PlaybackState::Forward || state() == PlaybackState::Paused);
  if (!resumable) {
    context_.pipeline.dropPendingSound();
  }
}

void PlaybackLoop::pace() {
  const auto elapsedMs = static_cast<std::int32_t>(context_.clock.now() - frameStartMs_);
  const PlaybackState current = state();
  const double currentSpeed = speed();
  if ((current == PlaybackState::Forward || current == PlaybackState::Reverse) && currentSpeed < kSkippingSpeed) {
    const auto periods = static_cast<std::uint32_t>(context_.source.header().frameInterval) + 1;
    const std::uint32_t product = periods * static_cast<std::uint32_t>(context_.status.framePeriodUs());
    const auto targetMs =
        static_cast<std::int64_t>(std::min(static_cast<double>(product) / currentSpeed, 0x1p40)) / 1000;
    if (targetMs > elapsedMs) {
      waitForCommand(static_cast<std::uint32_t>(targetMs - elapsedMs));
    }
  }
  frameStartMs_ = 0;
}

}  // namespace marlin
