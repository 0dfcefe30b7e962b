#include "engine/player_engine.h"

#include <algorithm>
#include <cmath>
#include <csignal>

#include "codec/audio_convert.h"
#include "engine/avi_capture_rate.h"
#include "engine/live_loop.h"
#include "engine/open_failure_box.h"
#include "engine/playback_loop.h"
#include "render/split_layout.h"
#include "source/recorded_channels.h"

namespace marlin {

namespace {

std::atomic<int> liveEngines{0};

// What the first engine sets up for the whole process and the last one
// takes down: the clock, and (standing in for the socket library's start-up)
// a broken connection reported as an error instead of a signal.
void startProcessServices() {
  std::signal(SIGPIPE, SIG_IGN);
  processPlaybackClock().startClock();
}

void stopProcessServices() { processPlaybackClock().stopClock(); }

// play and playReverse: the magnitude, at most 8, and 0 meaning normal speed.
double playSpeed(double requested) {
  const double magnitude = std::min(std::fabs(requested), 8.0);
  return magnitude == 0.0 ? 1.0 : magnitude;
}

constexpr std::uint32_t kDefaultLabelColour = 0x050505;

// Fast play doubles the speed per press up to this: a skip of 1.3 GB, past
// any disk in a few steps and far from overflowing a position.
constexpr double kFastestSpeed = 65536.0;

// The next fast speed in a direction: 8 from anything else, then doubling.
double fasterSpeed(double speed, bool sameDirection) {
  return sameDirection && speed >= 8.0 ? std::min(speed * 2, kFastestSpeed) : 8.0;
}

}  // namespace

int splitLimitFor(int channelCount) {
  if (channelCount >= 10) {
    return 16;
  }
  if (channelCount >= 5) {
    return 9;
  }
  if (channelCount < 2) {
    return 1;
  }
  return 4;
}

PlayerEngine::PlayerEngine(const EngineServices& services)
    : clock_(services.clock),
      messages_(services.messages),
      avi_(services.messages),
      renderer_(services.presenter, services.textPainter, services.messages),
      audioOut_(services.audioDevice, services.messages) {
  client_.setMouse(&renderer_.mouse());
  renderer_.SetAviWriter(&avi_.recorder);
  if (liveEngines.fetch_add(1) == 0) {
    startProcessServices();
  }
}

PlayerEngine::~PlayerEngine() {
  client_.stopConnection();
  requestStopAndWait();
  stop();
  stopAviCapture();
  if (liveEngines.fetch_sub(1) == 1) {
    stopProcessServices();
  }
}

int PlayerEngine::instanceCount() { return liveEngines.load(); }

int PlayerEngine::configure(int videoFormat, int audioCodec, int channelCount, int sampleRate) {
  maxSplit_ = splitLimitFor(channelCount);
  config_ = DvrConfig{videoFormat, audioCodec, channelCount, sampleRate};
  configuredVariant_ = videoFormat;
  configuredAudioCodec_ = audioCodec;
  renderer_.SetChannelCount(maxSplit_);
  renderer_.SetUseDirectDraw(false);
  return attach();
}

int PlayerEngine::attach() {
  source_.setCodecVariant(config_.videoFormat);
  decoder_.Init(config_.videoFormat);
  openSoundFor(mode_);
  recorder_.setFormat(kLiveStreamVariant, config_.videoFormat, maxSplit_);
  renderer_.SetChannelCount(1);
  renderer_.SetLabelsOn(false);
  return 1;
}

int PlayerEngine::setMode(EngineMode mode, int splitLimit) {
  if (mode != EngineMode::Player && mode != EngineMode::Client) {
    return 0;
  }
  stopAviCapture();
  const bool player = mode == EngineMode::Player;
  // The worker writes to the sound output, so it stops before the output
  // reopens. A connection still trying to log in is ended too: Player mode
  // has no use for it.
  if (player) {
    client_.stopConnection();
    stopWorker();
  } else if (source_.isOpen()) {
    stopWorker();
    status_.setState(PlaybackState::Idle);
  }
  openSoundFor(mode);
  if (player) {
    if (static_cast<unsigned>(splitLimit) <= 16) {
      maxSplit_ = splitLimit;
    }
    decoder_.Init(config_.videoFormat);
    renderer_.SetChannelCount(maxSplit_);
    renderer_.SetLabelsOn(true);
  } else {
    // A recording's channel count does not carry over to the DVR.
    maxSplit_ = splitLimitFor(config_.channelCount);
    // The live stream always carries the network layout.
    decoder_.Init(kLiveStreamVariant);
    renderer_.SetChannelCount(1);
    renderer_.SetLabelsOn(false);
  }
  renderer_.ClearAll();
  mode_ = mode;
  renderer_.SetAviComposesView(player);
  return 1;
}

int PlayerEngine::openSource(const std::string& path, bool isDisk, OpenedPlay opened) {
  // The worker reads the source, so it must not run while the source reopens.
  stopWorker();
  lastOpenFailure_ = source_.open(path, isDisk);
  if (!lastOpenFailure_) {
    raiseOpenFailureBox(lastOpenFailure_, messages_);
    return 0;
  }
  if (mode_ == EngineMode::Player) {
    followRecordedChannels();
  }
  renderer_.ClearAll();
  // A command given while nothing was open is not for this recording.
  mailbox_.clear();
  if (opened == OpenedPlay::Paused) {
    mailbox_.post(EngineCommand::Pause);
  }
  return start(1);
}

int PlayerEngine::openRecognised(const std::string& path, const ForcedReading& forced, OpenedPlay opened) {
  // The worker decodes with the variant about to change.
  stopWorker();
  lastRecognition_ = recogniseRecording(path, forced, {BlockByteOrder::File, configuredVariant_});
  config_.videoFormat = lastRecognition_.reading.variant;
  source_.setCodecVariant(config_.videoFormat);
  decoder_.Init(config_.videoFormat);
  openSoundFor(mode_);
  return openSource(path, lastRecognition_.reading.isDisk(), opened);
}

// Recorders that compand store A-law bytes whatever audio codec the build
// names: the sound path passes them on as they are, the output expands them
// to 16-bit samples, and an AVI capture declares them A-law. The live stream
// carries the configured codec.
void PlayerEngine::openSoundFor(EngineMode mode) {
  const bool aLaw = mode == EngineMode::Player && recordsALawAudio(config_.videoFormat);
  config_.audioCodec = aLaw ? kAudioSigned16 : configuredAudioCodec_;
  avi_.recorder.setAudioFormat(aLaw ? kAudioALaw : configuredAudioCodec_, config_.sampleRate);
  WaveFormat format{};
  audioDecoder_.setFormat(config_.audioCodec, config_.sampleRate, &format);
  audioOut_.open(format);
}

// A recording from a recorder with more cameras than the build's shows all
// of them; one with fewer leaves no empty pages behind.
void PlayerEngine::followRecordedChannels() {
  maxSplit_ = channelCountForMask(source_.recordedChannelMask());
  renderer_.SetChannelCount(maxSplit_);
  int split = 0;
  int page = 0;
  renderer_.GetSplit(split, page);
  if (split > maxSplit_ || page >= splitPages(split, maxSplit_)) {
    renderer_.SetSplit(maxSplit_, 0);
  }
}

int PlayerEngine::closeSource() {
  if (source_.isOpen()) {
    stopWorker();
    status_.setState(PlaybackState::Idle);
    source_.close();
    renderer_.ClearAll();
  }
  return 1;
}

void PlayerEngine::stopWorker() {
  if (hasThread()) {
    stop();
  }
}

int PlayerEngine::saveRange(std::uint64_t start, std::uint64_t end, const std::string& outputPath) {
  lastSaveRangeFailure_ = source_.copyRange(start, end, outputPath);
  return lastSaveRangeFailure_ ? 1 : 0;
}

int PlayerEngine::getFrameTime(CalendarTime& out) const {
  if (getState() == PlaybackState::Idle) {
    return 0;
  }
  return source_.getBlockTime(out) ? 1 : 0;
}

int PlayerEngine::post(EngineCommand command) {
  mailbox_.post(command);
  return 1;
}

int PlayerEngine::pause() { return post(EngineCommand::Pause); }

int PlayerEngine::play(double speed) {
  status_.setSpeed(playSpeed(speed));
  return post(EngineCommand::Play);
}

int PlayerEngine::playReverse(double speed) {
  status_.setSpeed(playSpeed(speed));
  return post(EngineCommand::PlayReverse);
}

int PlayerEngine::fastForward() {
  status_.setSpeed(fasterSpeed(getSpeed(), getState() == PlaybackState::Forward));
  return post(EngineCommand::Play);
}

int PlayerEngine::fastReverse() {
  status_.setSpeed(fasterSpeed(getSpeed(), getState() == PlaybackState::Reverse));
  return post(EngineCommand::PlayReverse);
}

int PlayerEngine::stepForward() { return post(EngineCommand::StepForward); }

int PlayerEngine::stepBackward() { return post(EngineCommand::StepBackward); }

int PlayerEngine::jumpTo(std::uint64_t position) {
  mailbox_.postJump(position);
  return 1;
}

int PlayerEngine::playFrom(std::uint64_t position, bool reverse, double speed) {
  status_.setSpeed(playSpeed(speed));
  mailbox_.postJump(position, reverse ? EngineCommand::PlayReverse : EngineCommand::Play);
  return 1;
}

int PlayerEngine::adjustSpeed(double speed) {
  status_.setSpeed(std::clamp(speed, 0.1, 8.0));
  return 1;
}

void PlayerEngine::setTextColour(std::uint32_t colour) {
  renderer_.SetTextColour(colour == 0 ? kDefaultLabelColour : colour);
}

void PlayerEngine::setOutlineColour(std::uint32_t colour) {
  renderer_.SetOutlineColour(colour == 0 ? kDefaultLabelColour : colour);
}

void PlayerEngine::setLiveObserver(LiveObserver* observer) {
  liveObserver_ = observer;
  observer_ = observer;
  client_.setObserver(observer);
}

int PlayerEngine::connect(const std::string& address, std::uint16_t port, const std::string& password) {
  disconnect();
  lastConnectFailure_ = client_.setDirectLogin(address, port, password);
  return lastConnectFailure_ ? startLive() : 0;
}

int PlayerEngine::connectViaDdns(const std::string& ddnsAddress, std::uint16_t ddnsPort, const std::string& dvrName,
                                 const std::string& password) {
  disconnect();
  lastConnectFailure_ = client_.setDdnsLogin(ddnsAddress, ddnsPort, dvrName, password);
  return lastConnectFailure_ ? startLive() : 0;
}

int PlayerEngine::startLive() {
  decoder_.Init(kLiveStreamVariant);
  start(1);
  client_.startConnection();
  return 1;
}

int PlayerEngine::disconnect() {
  client_.stopConnection();
  stopWorker();
  return 1;
}

int PlayerEngine::startRecording(const std::string& path) {
  if (recorder_.isOpen()) {
    recorder_.close();
  }
  return recorder_.open(path) ? 1 : 0;
}

int PlayerEngine::stopRecording() {
  if (!recorder_.isOpen()) {
    return 0;
  }
  recorder_.close();
  return 1;
}

int PlayerEngine::captureFrameRate(int fieldHeight, int captureMode) const {
  if (mode_ != EngineMode::Player) {
    return liveCaptureRate(fieldHeight, captureMode);
  }
  return playerCaptureRate(config_.videoFormat, fieldHeight, status_.channelMask(), status_.frameInterval());
}

// The frame is the decoded picture's width by two fields: the split view is
// composed at that size, and a live picture's field is line-doubled into it.
int PlayerEngine::startAviCapture(const std::string& path, CompressionChooser chooser, int captureMode) {
  const bool player = mode_ == EngineMode::Player;
  if (player) {
    pause();
  }
  const int fieldHeight = status_.pictureHeight();
  avi_.mode = captureMode;
  avi_.recorder.setChooser(std::move(chooser));
  const int result = avi_.recorder.open(path, 24, status_.pictureWidth(), 2 * fieldHeight, nullptr,
                                        captureFrameRate(fieldHeight, captureMode));
  if (player) {
    renderer_.ClearAviFrame();
    play(1.0);
  }
  // The capture buffer exists before the live loop, seeing the flag, writes
  // a sound packet and the frame with it.
  if (result == avi_result::kDone) {
    renderer_.SetAviCapture(true);
    avi_.recording = 1;
  }
  return result;
}

int PlayerEngine::stopAviCapture() {
  avi_.recording = 0;
  renderer_.SetAviCapture(false);
  avi_.mode = kCaptureEveryPicture;
  return avi_.recorder.close();
}

Status PlayerEngine::lastRecordingFailure() const { return recorder_.lastFailure(); }

int PlayerEngine::run() {
  FramePipeline pipeline(decoder_, renderer_, audioDecoder_, audioOut_, status_, observer_);
  const WorkerContext context{.running = running_,
                              .stopEvent = stopEvent_,
                              .clock = clock_,
                              .mailbox = mailbox_,
                              .status = status_,
                              .pipeline = pipeline,
                              .observer = observer_,
                              .source = source_,
                              .config = config_,
                              .avi = avi_};
  if (mode_ == EngineMode::Player) {
    PlaybackLoop loop(context);
    return loop.run();
  }
  LiveLoop loop(context, LiveLinks{.video = client_.videoQueue(),
                                   .audio = client_.audioQueue(),
                                   .recorder = recorder_,
                                   .observer = liveObserver_,
                                   .renderer = renderer_,
                                   .client = client_});
  return loop.run();
}

}  // namespace marlin
