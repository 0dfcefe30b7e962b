#include "app/cli/live_session.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <iostream>
#include <memory>
#include <mutex>
#include <thread>

#include "app/cli/cli_support.h"
#include "app/cli/play_session.h"
#include "app/cli/snapshot_series.h"
#include "app/cli/stop_on_signals.h"
#include "engine/codec_names.h"
#include "engine/event_lines.h"
#include "engine/player_engine.h"
#include "platform/sdl_audio_device.h"
#include "platform/silent_audio_device.h"
#include "platform/tcp_socket.h"
#include "render/offscreen_presenter.h"
#include "render/text_painter_choice.h"

namespace marlin::cli {

namespace {

using Clock = std::chrono::steady_clock;

// The pause between two --key commands, as a user presses them.
constexpr std::chrono::seconds kKeyInterval{1};
// How often a low-speed capture's frame takes the last picture, as the
// window's timer refreshes it.
constexpr std::chrono::milliseconds kCaptureRefreshInterval{40};

// Prints the session's events and learns how it ends; called on the engine's
// and the connection's threads.
class LiveSessionObserver final : public LiveObserver {
 public:
  LiveSessionObserver(const LiveOptions& options, PlayerEngine& engine)
      : options_(options), snapshots_(engine, options.snapshotEvery, options.outDir), lines_(engine.client()) {}

  void pictureShown(int channel, const CalendarTime& time, int width, int height, std::uint64_t position) override {
    const std::uint64_t shown = ++pictures_;
    if (options_.events) {
      lines_.pictureShown(channel, time, width, height, position);
    }
    snapshots_.pictureShown(shown);
  }

  void audioPlayed(std::uint32_t bytes) override {
    ++audioPackets_;
    if (options_.events) {
      lines_.audioPlayed(bytes);
    }
  }

  void connectionStateChanged(net::ConnectionState state) override {
    if (options_.events) {
      lines_.connectionStateChanged(state);
    }
    connected_ = state == net::ConnectionState::LoggedIn;
    wakeWaiter([&] { loggedIn_ = loggedIn_ || state == net::ConnectionState::LoggedIn; });
  }

  void notice(net::ClientNotice notice) override {
    if (options_.events) {
      lines_.notice(notice);
    }
    // The window ends the session on these, except a close the DVR announces
    // before the login. A connection that is not to reconnect tells of its
    // loss as a close while it is still in the logged-in state.
    if (notice == net::ClientNotice::LoginFailed || notice == net::ClientNotice::NoResponse ||
        (notice == net::ClientNotice::Closed && connected_)) {
      wakeWaiter([&] {
        if (!ending_) {
          ending_ = notice;
        }
      });
    }
  }

  // Waits until the deadline or a notice that ends the session; true when
  // the login has happened by then.
  bool waitForLogin(Clock::time_point deadline) {
    std::unique_lock lock(mutex_);
    changed_.wait_until(lock, deadline, [&] { return loggedIn_ || ending_.has_value() || interrupted_; });
    return loggedIn_ && !ending_ && !interrupted_;
  }
  // Waits until the deadline; false when a notice ended the session first.
  bool sleepUntil(Clock::time_point deadline) {
    std::unique_lock lock(mutex_);
    return !changed_.wait_until(lock, deadline, [&] { return ending_.has_value() || interrupted_; });
  }
  // Ctrl-C: the session ends as at its deadline.
  void interrupt() {
    wakeWaiter([&] { interrupted_ = true; });
  }
  std::optional<net::ClientNotice> ending() const {
    std::lock_guard lock(mutex_);
    return ending_;
  }

  std::uint64_t pictures() const { return pictures_; }
  std::uint64_t audioPackets() const { return audioPackets_; }
  const SnapshotSeries& snapshots() const { return snapshots_; }

 private:
  template <typename Change>
  void wakeWaiter(Change change) {
    {
      std::lock_guard lock(mutex_);
      change();
    }
    changed_.notify_all();
  }

  const LiveOptions& options_;
  SnapshotSeries snapshots_;
  EventLinePrinter lines_;
  // The connection's state as last told: logged in or not.
  std::atomic<bool> connected_{false};
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool loggedIn_ = false;
  bool interrupted_ = false;
  std::optional<net::ClientNotice> ending_;
  std::atomic<std::uint64_t> pictures_{0};
  std::atomic<std::uint64_t> audioPackets_{0};
};

// A host name or dotted text as the dotted address the client connects to.
std::string resolvedHost(const std::string& host) {
  const std::optional<std::uint32_t> address = resolveIpv4(host);
  if (!address) {
    throw CommandError("cannot resolve host " + host);
  }
  return dottedIpv4(*address);
}

// "HOST:PORT" of the DDNS service, the host as dotted IPv4.
std::pair<std::string, std::uint16_t> ddnsService(const std::string& text) {
  const std::size_t colon = text.rfind(':');
  int port = -1;
  if (colon != std::string::npos) {
    try {
      std::size_t used = 0;
      port = std::stoi(text.substr(colon + 1), &used);
      if (used != text.size() - colon - 1) {
        port = -1;
      }
    } catch (const std::exception&) {
      port = -1;
    }
  }
  if (port < 1 || port > 65535) {
    throw CommandError("--ddns must be HOST:PORT, e.g. 127.0.0.1:1800", kUsageExit);
  }
  return {resolvedHost(text.substr(0, colon)), static_cast<std::uint16_t>(port)};
}

void connectEngine(PlayerEngine& engine, const LiveOptions& options) {
  int started = 0;
  if (options.ddns.empty()) {
    started = engine.connect(resolvedHost(options.host), static_cast<std::uint16_t>(options.port), options.password);
  } else {
    const auto [address, port] = ddnsService(options.ddns);
    started = engine.connectViaDdns(address, port, options.dvrName, options.password);
  }
  if (started != 1) {
    throw CommandError(engine.lastConnectFailure().message());
  }
}

// The capture starts with the first picture, which gives the frame its
// size. At low speed the returned thread refreshes the frame until it goes.
std::jthread startLiveCapture(PlayerEngine& engine, const LiveSessionObserver& observer, const LiveOptions& options,
                              Clock::time_point deadline) {
  while (observer.pictures() == 0) {
    if (Clock::now() >= deadline) {
      throw CommandError("no live picture came to size the capture by");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  startAviCapture(engine, options.avi, options.lowSpeed ? kCaptureOnRefresh : kCaptureEveryPicture);
  if (!options.lowSpeed) {
    return {};
  }
  return std::jthread([&engine](const std::stop_token& stop) {
    while (!stop.stop_requested()) {
      engine.requestCaptureRefresh();
      std::this_thread::sleep_for(kCaptureRefreshInterval);
    }
  });
}

// What a user does once logged in: the capture, if asked for, the mouse
// events at once (a burst the client merges), then one key a second, until
// the session ends.
void driveSession(PlayerEngine& engine, LiveSessionObserver& observer, const LiveOptions& options,
                  Clock::time_point deadline) {
  if (!observer.waitForLogin(deadline)) {
    return;
  }
  std::jthread captureRefresh;
  if (!options.avi.path.empty()) {
    captureRefresh = startLiveCapture(engine, observer, options, deadline);
  }
  for (const MouseFields& event : options.mouse) {
    engine.renderer().mouse().record(event);
  }
  auto nextKey = Clock::now();
  for (const int key : options.keys) {
    if (nextKey >= deadline || !observer.sleepUntil(nextKey)) {
      return;
    }
    engine.sendRemote(key);
    nextKey += kKeyInterval;
  }
  observer.sleepUntil(deadline);
}

void printSummary(const LiveSessionObserver& observer, const PlayerEngine& engine, bool asJson) {
  const net::DvrClient& client = engine.client();
  if (asJson) {
    std::printf(
        "{\"event\":\"summary\",\"pictures\":%llu,\"audio_packets\":%llu,\"video_dropped\":%llu,"
        "\"audio_dropped\":%llu,\"reconnects\":%llu}\n",
        static_cast<unsigned long long>(observer.pictures()), static_cast<unsigned long long>(observer.audioPackets()),
        static_cast<unsigned long long>(client.videoDropped()), static_cast<unsigned long long>(client.audioDropped()),
        static_cast<unsigned long long>(client.reconnects()));
    std::fflush(stdout);
  }
  std::cerr << "showed " << observer.pictures() << " pictures, played " << observer.audioPackets()
            << " sound packets, reconnected " << client.reconnects() << " times";
  if (observer.snapshots().saved() != 0) {
    std::cerr << ", saved " << observer.snapshots().saved() << " snapshots";
  }
  std::cerr << "\n";
}

// The session's outcome as the window would show it.
void reportEnding(net::ClientNotice ending, const std::string& lastError) {
  switch (ending) {
    case net::ClientNotice::LoginFailed:
      throw CommandError("login failed: " + lastError, 2);
    case net::ClientNotice::NoResponse:
      throw CommandError("no response from the DVR: " + lastError);
    case net::ClientNotice::Closed:
      throw CommandError("disconnected by the DVR");
    case net::ClientNotice::Status:
      break;
  }
}

}  // namespace

std::optional<MouseFields> parseMouseEvent(const std::string& text) {
  MouseFields fields;
  char tail = 0;
  if (std::sscanf(text.c_str(), "%d,%d,%d%c", &fields.state, &fields.x, &fields.y, &tail) != 3 || fields.state < 0 ||
      fields.state > 4) {
    return std::nullopt;
  }
  return fields;
}

void runLiveSession(const LiveOptions& options) {
  createSnapshotFolder(options.outDir);
  const Size viewSize = *parseSize(options.size);
  // Ctrl-C ends the session as its deadline does: logged out, the recording and the capture finished. The signal's
  // thread reaches the observer only while it exists.
  std::mutex interruptMutex;
  LiveSessionObserver* interrupted = nullptr;
  StopOnSignals interrupt([&] {
    const std::lock_guard lock(interruptMutex);
    if (interrupted != nullptr) interrupted->interrupt();
  });
  OffscreenPresenter presenter(viewSize);
  const std::unique_ptr<TextPainter> painter = makeTextPainter();
  SdlAudioDevice sdlDevice(true);
  SilentAudioDevice silentDevice;
  AudioDevice& audioDevice = options.noAudio ? static_cast<AudioDevice&>(silentDevice) : sdlDevice;
  PlayerEngine engine({processPlaybackClock(), audioDevice, presenter, *painter, consoleMessageSink()});
  engine.configure(kVariantQkt2, resolveAudioCodecId(kBuildAudioCodecName, consoleMessageSink()), kBuildChannelCount,
                   kBuildSampleRate);
  engine.setMode(EngineMode::Client, -1);
  if (options.split && engine.selectView(*options.split, 0) != 1) {
    throw CommandError("the live view shows the DVR's one picture: --split must be 1", kUsageExit);
  }
  engine.setTimeout(static_cast<std::uint32_t>(options.timeoutSeconds * 1000));
  engine.setAutoReconnect(!options.noReconnect);
  engine.setMouseRemoteMode(static_cast<net::MouseRemoteMode>(options.mouseMode));
  LiveSessionObserver observer(options, engine);
  const auto listen = [&](LiveSessionObserver* to) {
    const std::lock_guard lock(interruptMutex);
    interrupted = to;
  };
  listen(&observer);
  const OnScopeExit unlisten([&] { listen(nullptr); });
  if (interrupt.requested()) observer.interrupt();
  engine.setLiveObserver(&observer);
  const OnScopeExit stopConnection([&engine] { engine.disconnect(); });
  if (!options.recordPath.empty() && engine.startRecording(options.recordPath) != 1) {
    throw CommandError(engine.lastRecordingFailure().message());
  }

  connectEngine(engine, options);
  driveSession(
      engine, observer, options,
      Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(options.seconds)));
  engine.disconnect();
  printSummary(observer, engine, options.events);
  if (engine.isAviCapturing()) {
    finishAviCapture(engine, options.avi, options.events);
  }

  if (const std::optional<net::ClientNotice> ending = observer.ending()) {
    reportEnding(*ending, engine.getLastError());
  }
  const Status recording = engine.lastRecordingFailure();
  if (!recording) {
    throw CommandError("the local recording stopped: " + recording.message());
  }
  if (observer.snapshots().failed() != 0) {
    throw CommandError(std::to_string(observer.snapshots().failed()) + " snapshots could not be written");
  }
  if (interrupt.requested()) {
    throw CommandError("interrupted", kInterruptedExit);
  }
}

}  // namespace marlin::cli
