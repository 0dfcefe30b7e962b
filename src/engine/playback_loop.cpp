#include "engine/playback_loop.h"

#include <algorithm>
#include <optional>

#include "base/codec_ids.h"
#include "engine/refresh_window.h"

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
// The most time pacing makes up after pictures that took longer than theirs.
constexpr std::int64_t kMostLatenessMs = 250;

// The state a command puts the worker in; nothing for no command.
std::optional<PlaybackState> stateAfter(EngineCommand command) {
  switch (command) {
    case EngineCommand::Pause:
      return PlaybackState::Paused;
    case EngineCommand::Play:
      return PlaybackState::Forward;
    case EngineCommand::PlayReverse:
      return PlaybackState::Reverse;
    case EngineCommand::StepForward:
      return PlaybackState::StepForward;
    case EngineCommand::StepBackward:
      return PlaybackState::StepBackward;
    case EngineCommand::JumpTo:
      return PlaybackState::Jump;
    case EngineCommand::None:
      break;
  }
  return std::nullopt;
}

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
  // Opening a recording plays it forward, unless the engine asked for
  // another start (a jump, a pause) before the run began.
  if (!context_.mailbox.pending()) {
    context_.mailbox.post(EngineCommand::Play);
  }
  visible_ = channelsInView();
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
    followView();
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
  lateMs_ = 0;
  if (const std::optional<PlaybackState> next = stateAfter(context_.mailbox.take())) {
    setState(*next);
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
    skippedBack_ = true;
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
  keepReferencesCurrent();
  StreamSource& source = context_.source;
  const std::uint64_t before = source.getPosition();
  const std::uint32_t length = source.readNext(frame_.data());
  referencesAt_ = source.getPosition();
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
  if (parsePicture(length)) {
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
    if (skippedBack_ && source.getPosition() == 0 && showFirstPicture()) {
      return Next::Pace;
    }
    if (!startOverFromOtherEnd(before, true)) {
      countFailedRead();
    }
    return Next::Continue;
  }
  failedReads_ = 0;
  readSinceStartOver_ = true;
  skippedBack_ = false;
  // Sound is not played backward, and takes no time of its own: pacing it
  // like a picture would play a recording with sound slower than it happened.
  if (source.header().isAudio) {
    return Next::Continue;
  }
  if (parsePicture(length)) {
    showBackward(length);
  }
  return Next::Pace;
}

// A skip back that lands inside the first picture leaves no whole frame
// before the read position, so reading backward would end one picture short
// of the start: the first picture is read forward instead, and reading
// backward then meets the start.
bool PlaybackLoop::showFirstPicture() {
  skippedBack_ = false;
  StreamSource& source = context_.source;
  std::uint32_t length = 0;
  do {
    length = readOnward(source, frame_.data(), false);
  } while (length != 0 && source.header().isAudio);
  if (length == 0) {
    return false;
  }
  if (parsePicture(length)) {
    showBackward(length);
  }
  source.setPosition(0);
  return true;
}

// A step ends on the next picture that is shown; what it passes over on the
// way is counted as in play, and the state stays, so the next iteration
// reads on.
PlaybackLoop::Next PlaybackLoop::readStep(bool backward) {
  StreamSource& source = context_.source;
  if (!backward) {
    keepReferencesCurrent();
  }
  const std::uint32_t length = backward ? source.readPrevious(frame_.data()) : source.readNext(frame_.data());
  if (!backward) {
    referencesAt_ = source.getPosition();
  }
  if (length == 0) {
    setState(PlaybackState::Paused);
    return Next::Pace;
  }
  if (source.header().isAudio || !parsePicture(length)) {
    return Next::Pace;
  }
  if (backward ? showBackward(length) : handleParsedPicture(length)) {
    setState(PlaybackState::Paused);
  }
  return Next::Pace;
}

// A jump shows, before anything else, every shown channel as it was where
// the first picture at the target ends: each decoded from its last refresh
// picture before it.
PlaybackLoop::Next PlaybackLoop::readJump() {
  StreamSource& source = context_.source;
  source.setMark(context_.mailbox.jumpTarget());
  const std::uint32_t length = source.readFromMark(frame_.data());
  if (length != 0) {
    countPicture();
    context_.pipeline.references().invalidateAll();
    prime(channelsInView());
  }
  const EngineCommand then = context_.mailbox.afterJump();
  const bool playsOn = then == EngineCommand::Play || then == EngineCommand::PlayReverse;
  setState(playsOn ? *stateAfter(then) : PlaybackState::Paused);
  return Next::Pace;
}

// The cameras the recording holds (all, while that is not known).
ChannelSet PlaybackLoop::recordedChannels() const {
  const std::uint16_t recorded = context_.source.recordedChannelMask();
  return recorded == 0 ? ChannelSet().set() : ChannelSet(recorded);
}

ChannelSet PlaybackLoop::channelsInView() const { return context_.pipeline.visibleChannels() & recordedChannels(); }

// A channel that comes into view shows its picture of where reading is: the
// one kept while reading forward, or else one primed from its last refresh
// picture (after a jump or a skip only the channels then in view were).
void PlaybackLoop::followView() {
  const ChannelSet visible = channelsInView();
  const ChannelSet appeared = visible & ~visible_;
  visible_ = visible;
  if (appeared.none()) {
    return;
  }
  const bool readingOn = context_.source.getPosition() == referencesAt_;
  const ChannelSet current = readingOn ? context_.pipeline.validChannels() : ChannelSet{};
  if (const ChannelSet stale = appeared & ~current; stale.any()) {
    prime(stale);
  }
}

// Forward reading goes on from where the references were kept up to date;
// from anywhere else they are primed first, except in fast play, where a
// channel shows nothing new until its next refresh picture.
void PlaybackLoop::keepReferencesCurrent() {
  reverseCache_.clear();
  if (context_.source.getPosition() == referencesAt_) {
    return;
  }
  context_.pipeline.references().invalidateAll();
  if (speed() >= kSkippingSpeed && state() == PlaybackState::Forward) {
    referencesAt_ = context_.source.getPosition();
    return;
  }
  prime(channelsInView());
}

// Brings channels up to where forward reading goes on: each is decoded from
// its last refresh picture within reach and shown; one without goes dark.
void PlaybackLoop::prime(ChannelSet channels) {
  StreamSource& source = context_.source;
  FramePipeline& pipeline = context_.pipeline;
  VideoDecoder& decoder = pipeline.decoder();
  const std::uint64_t boundary = nextFrameStart(source, source.getPosition());
  if (boundary != referencesAt_) {
    pipeline.references().invalidateAll();
  }
  const ChannelSet stale = channels & ~pipeline.validChannels();
  const RefreshStart from = findRefreshStart(source, decoder, frame_.data(), stale, boundary);
  visitPicturesForward(source, decoder, frame_.data(), from.found, from.position, boundary,
                       [&](const std::uint8_t* frame, std::uint32_t length) {
                         pipeline.decodeParsedPicture(frame, length, source.header().blockTime, source.getPosition());
                       });
  returnTo(source, boundary);
  referencesAt_ = boundary;
  pipeline.showLatest(stale);
}

// A picture read backward is shown as decoded forward from its channel's
// last refresh picture: a refresh picture as it is, a conditional one from
// the cache, which is filled when it lacks it. In fast reverse play a
// conditional picture the cache lacks is passed over. As in forward play,
// the channels out of view keep up too, so that their pictures are current
// when their page comes up.
bool PlaybackLoop::showBackward(std::uint32_t length) {
  countPicture();
  StreamSource& source = context_.source;
  FramePipeline& pipeline = context_.pipeline;
  const std::uint64_t start = source.header().start;
  const PictureTag tag = PictureTag::of(pipeline.pictureHeader(), source.header().blockTime, source.getPosition());
  const ChannelSet wanted = recordedChannels();
  const ReversePictureCache::Entry* cached = reverseCache_.take(start);
  if (cached == nullptr && pipeline.pictureHeader().allCoded) {
    const YuvPicture* picture = reverseCache_.decodeRefresh(pipeline.decoder(), frame_.data(), length);
    if (picture != nullptr) {
      pipeline.showPicture(*picture, tag);
    }
    return picture != nullptr;
  }
  if (cached == nullptr && !(speed() >= kSkippingSpeed && state() == PlaybackState::Reverse)) {
    reverseCache_.fill(source, pipeline.decoder(), frame_.data(), start, wanted);
    cached = reverseCache_.take(start);
  }
  if (cached == nullptr) {
    return false;
  }
  pipeline.showPicture(cached->picture, tag);
  return true;
}

// Parses a video frame's header. A frame whose header does not parse is not
// shown, and is counted as frame handling would have counted it before
// failing on it.
bool PlaybackLoop::parsePicture(std::uint32_t length) {
  if (!context_.pipeline.parsePicture(frame_.data(), length)) {
    ++skipCounter_;
    return false;
  }
  return true;
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
    // A picture that took longer than its time (backward play decoding a
    // stretch at once) is made up on the next ones, so that play keeps to
    // the speed over the seconds; never by more than kMostLatenessMs.
    const std::int64_t remainingMs = targetMs - elapsedMs - lateMs_;
    if (remainingMs > 0) {
      waitForCommand(static_cast<std::uint32_t>(remainingMs));
      lateMs_ = 0;
    } else {
      lateMs_ = std::min<std::int64_t>(-remainingMs, kMostLatenessMs);
    }
  } else {
    lateMs_ = 0;
  }
  frameStartMs_ = 0;
}

}  // namespace marlin
