#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "codec/video_decoder.h"
#include "engine/audio/audio_decoder.h"
#include "engine/audio/audio_output.h"
#include "engine/avi_capture.h"
#include "engine/command_mailbox.h"
#include "engine/engine_types.h"
#include "engine/live_observer.h"
#include "engine/playback_clock.h"
#include "engine/playback_observer.h"
#include "engine/playback_status.h"
#include "engine/worker_context.h"
#include "net/dvr_client.h"
#include "platform/audio_device.h"
#include "platform/message_sink.h"
#include "platform/worker_thread.h"
#include "recognition/recognition.h"
#include "render/text_painter.h"
#include "render/video_presenter.h"
#include "render/video_renderer.h"
#include "source/recording_writer.h"
#include "source/stream_source.h"

namespace marlin {

// What an engine is built on: the display, the sound device, the clock it
// paces with and where user messages go. The desktop app passes its window's
// presenter and SDL sound; tests pass off-screen and scripted ones.
struct EngineServices {
  PlaybackClock& clock;
  AudioDevice& audioDevice;
  VideoPresenter& presenter;
  TextPainter& textPainter;
  MessageSink& messages;
};

// Whether a recording plays forward once opened, or waits for a command.
enum class OpenedPlay { Forward, Paused };

// The largest split layout (1, 4, 9 or 16 cells) for a recorder's channels.
int splitLimitFor(int channelCount);

// The one object through which the user interface plays recordings and
// shows a DVR's live stream. It owns the source, decoder, renderer, sound,
// the DVR client and the local recording writer, and runs one worker thread
// (the playback loop in Player mode, the live loop in Client mode). Every operation is called on the UI thread;
// commands reach the worker through a one-slot mailbox and an event, the
// speed through a shared value read every iteration, and the UI learns the
// rest by polling the getters. The worker sees nothing of the engine but the
// WorkerContext it is handed.
class PlayerEngine : public WorkerThread {
 public:
  explicit PlayerEngine(const EngineServices& services);
  ~PlayerEngine() override;

  // Set-up and mode.
  int configure(int videoFormat, int audioCodec, int channelCount, int sampleRate);
  int attach();
  // splitLimit above 16 (or -1) keeps the old limit; 0 for a mode that is
  // neither.
  int setMode(EngineMode mode, int splitLimit);
  EngineMode getMode() const { return mode_; }
  int maxSplit() const { return maxSplit_; }
  const DvrConfig& config() const { return config_; }

  // Player mode. Opening a recording in Player mode sets the split limit and
  // the renderer's channels to the recorder's channel count its blocks show
  // (4, 9 or 16); Client mode keeps the configured count.
  int openSource(const std::string& path, bool isDisk, OpenedPlay opened = OpenedPlay::Forward);
  // Opens the recording as recogniseRecording reads it: what forced says,
  // the rest as its first blocks and pictures show, else the configured
  // variant in file byte order. The playback takes the variant.
  int openRecognised(const std::string& path, const ForcedReading& forced, OpenedPlay opened = OpenedPlay::Forward);
  // How the last openRecognised read its recording.
  const Recognition& lastRecognition() const { return lastRecognition_; }
  // Why the last openSource failed; ok after one that did not.
  const Status& lastOpenFailure() const { return lastOpenFailure_; }
  int closeSource();
  bool isSourceOpen() const { return source_.isOpen(); }
  std::string getSourceName() const { return source_.getName(); }
  std::uint64_t getSourceSize() const { return source_.getSize(); }
  std::uint64_t getPosition() const { return source_.getPosition(); }
  int saveRange(std::uint64_t start, std::uint64_t end, const std::string& outputPath);
  const Status& lastSaveRangeFailure() const { return lastSaveRangeFailure_; }
  int getFrameTime(CalendarTime& out) const;
  // The time of the block at a position, for a slider's tooltip.
  bool blockTimeAt(std::uint64_t position, CalendarTime& out) const { return source_.blockTimeAt(position, out); }
  PlaybackState getState() const { return status_.state(); }
  double getSpeed() const { return status_.speed(); }
  // The block time of the last frame the worker handled; zero once it stopped.
  CalendarTime getCurrentFrameTime() const { return status_.frameTime(); }
  int framePeriodUs() const { return status_.framePeriodUs(); }

  int pause();
  int play(double speed);
  int playReverse(double speed);
  int fastForward();
  int fastReverse();
  int stepForward();
  int stepBackward();
  int jumpTo(std::uint64_t position);
  // A jump to position that then plays on in the direction and at the speed
  // (as play and playReverse take it) instead of pausing there.
  int playFrom(std::uint64_t position, bool reverse, double speed);
  int adjustSpeed(double speed);
  // Repeat: play in either direction, at any speed, goes on from the other
  // end of the recording instead of pausing at its end or start.
  void setRepeat(bool on) { status_.setRepeat(on); }
  bool getRepeat() const { return status_.repeat(); }

  // Client mode. connect and connectViaDdns start the connection and the
  // live loop; whether the login succeeds is told later, through the live
  // observer (or polled). They return 0, and start nothing, when the
  // password or DVR name cannot be sent (lastConnectFailure says why).
  int connect(const std::string& address, std::uint16_t port, const std::string& password);
  int connectViaDdns(const std::string& ddnsAddress, std::uint16_t ddnsPort, const std::string& dvrName,
                     const std::string& password);
  const Status& lastConnectFailure() const { return lastConnectFailure_; }
  int disconnect();
  int sendRemote(int value) { return client_.sendRemoteKey(value) ? 1 : 0; }
  bool isConnected() const { return client_.isLoggedIn(); }
  int getConnectionState() const { return static_cast<int>(client_.connectionState()); }
  std::string getLastError() const { return client_.lastError(); }
  void setTimeout(std::uint32_t ms) { client_.setTimeoutMs(ms); }
  std::uint32_t getTimeout() const { return client_.timeoutMs(); }
  // Whether a lost connection logs in again (on by default); off, the
  // connection ends with the Closed notice.
  void setAutoReconnect(bool on) { client_.setAutoReconnect(on); }
  bool getAutoReconnect() const { return client_.autoReconnect(); }
  void setMouseRemoteMode(net::MouseRemoteMode mode) { client_.setMouseMode(mode); }
  const net::DvrClient& client() const { return client_; }

  // Local recording of the live stream.
  int startRecording(const std::string& path);
  int stopRecording();
  bool isRecording() const { return recorder_.isOpen(); }
  // Why the last recording could not start or stopped by itself.
  Status lastRecordingFailure() const;

  // AVI capture of what is shown, into one file: in Player mode the split
  // view as composed, in Client mode the live pictures line-doubled, in
  // captureMode kCaptureEveryPicture or kCaptureOnRefresh. Playback goes
  // on at normal speed. An avi_result code; kDone when capture started.
  int startAviCapture(const std::string& path, CompressionChooser chooser, int captureMode);
  int startAviCapture(const std::string& path, const Compression& compression, int captureMode) {
    return startAviCapture(path, fixedCompression(compression), captureMode);
  }
  // Closes the file; an avi_result code.
  int stopAviCapture();
  bool isAviCapturing() const { return avi_.recording != 0; }
  // In kCaptureOnRefresh, the frame takes the last live picture again.
  void requestCaptureRefresh() { avi_.refresh.set(); }
  const AviRecorder& aviRecorder() const { return avi_.recorder; }

  // Sound.
  void setVolume(std::uint32_t volume) { audioOut_.setVolume(volume); }
  std::uint32_t getVolume() const { return audioOut_.getVolume(); }
  void setMute(bool on) { audioOut_.setMute(on); }
  bool getMute() const { return audioOut_.getMute(); }

  // View settings, kept by the renderer.
  int selectView(int cells, int page) { return renderer_.SetSplit(cells, page) ? 1 : 0; }
  void getView(int& split, int& page) const { renderer_.GetSplit(split, page); }
  void setTimeFormat(const std::string& format) { renderer_.SetTimeFormat(format); }
  std::string getTimeFormat() const { return renderer_.GetTimeFormat(); }
  void setShowTime(bool on) { renderer_.SetShowTime(on); }
  bool getShowTime() const { return renderer_.GetShowTime(); }
  void setTextColour(std::uint32_t colour);
  void setOutlineColour(std::uint32_t colour);
  void setFont(const FontSpec& font) { renderer_.SetFont(font); }
  void setFastPath(bool on) { renderer_.SetUseDirectDraw(on); }
  bool getFastPath() const { return renderer_.GetUseDirectDraw(); }
  Status saveSnapshot(const std::string& path) { return renderer_.SaveSnapshot(path); }
  VideoRenderer& renderer() { return renderer_; }
  const AudioOutput& audioOutput() const { return audioOut_; }
  // Some sound was played, in either mode, since the engine started.
  bool hasPlayedSound() const { return status_.soundPlayed(); }

  // Only while no worker runs. A live observer also hears the connection.
  void setObserver(PlaybackObserver* observer) { observer_ = observer; }
  void setLiveObserver(LiveObserver* observer);

  static int instanceCount();

 protected:
  int run() override;

 private:
  int post(EngineCommand command);
  void stopWorker();
  // Opens the sound output in the format the sound of mode's source needs.
  void openSoundFor(EngineMode mode);
  int startLive();
  void followRecordedChannels();
  int captureFrameRate(int fieldHeight, int captureMode) const;

  PlaybackClock& clock_;
  MessageSink& messages_;
  // Before the renderer, which hands it frames until it goes.
  AviCapture avi_;
  StreamSource source_;
  VideoDecoder decoder_;
  VideoRenderer renderer_;
  AudioDecoder audioDecoder_;
  AudioOutput audioOut_;
  CommandMailbox mailbox_;
  PlaybackStatus status_;
  PlaybackObserver* observer_ = nullptr;
  LiveObserver* liveObserver_ = nullptr;
  // After the renderer, whose mouse fields the client reads until it stops.
  net::DvrClient client_;
  RecordingWriter recorder_;

  std::atomic<EngineMode> mode_{EngineMode::Client};
  int maxSplit_ = 4;
  DvrConfig config_;
  // What configure was given; config_ holds what the open recording needs.
  CodecVariant configuredVariant_ = kVariantQkt2;
  AudioCodecId configuredAudioCodec_ = 0;
  Recognition lastRecognition_;
  Status lastOpenFailure_;
  Status lastSaveRangeFailure_;
  Status lastConnectFailure_;
};

}  // namespace marlin
