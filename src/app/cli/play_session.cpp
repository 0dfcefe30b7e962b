#include "app/cli/play_session.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <iostream>
#include <memory>
#include <thread>

#include "app/cli/cli_support.h"
#include "app/cli/range_bound.h"
#include "app/cli/snapshot_series.h"
#include "app/cli/stop_on_signals.h"
#include "engine/codec_names.h"
#include "engine/event_lines.h"
#include "engine/player_engine.h"
#include "platform/sdl_audio_device.h"
#include "platform/silent_audio_device.h"
#include "render/offscreen_presenter.h"
#include "render/split_layout.h"
#include "render/text_painter_choice.h"

namespace marlin::cli {

namespace {

// Prints events and takes the snapshots; runs on the engine's worker thread.
class SessionObserver final : public PlaybackObserver {
 public:
  SessionObserver(const PlayOptions& options, PlayerEngine& engine)
      : options_(options), snapshots_(engine, options.snapshotEvery, options.outDir), lines_(engine.client()) {}

  void pictureShown(int channel, const CalendarTime& blockTime, int width, int height,
                    std::uint64_t position) override {
    const std::uint64_t shown = ++pictures_;
    if (options_.events) {
      lines_.pictureShown(channel, blockTime, width, height, position);
    }
    snapshots_.pictureShown(shown);
  }

  void stateChanged(PlaybackState state, double speed) override {
    ++stateReports_;
    if (options_.events) {
      lines_.stateChanged(state, speed);
    }
  }

  // Each command that changes the state or the speed is reported once taken.
  std::uint64_t stateReports() const { return stateReports_; }
  std::uint64_t pictures() const { return pictures_; }
  std::uint64_t snapshots() const { return snapshots_.saved(); }
  std::uint64_t failedSnapshots() const { return snapshots_.failed(); }

 private:
  const PlayOptions& options_;
  SnapshotSeries snapshots_;
  EventLinePrinter lines_;
  std::atomic<std::uint64_t> pictures_{0};
  std::atomic<std::uint64_t> stateReports_{0};
};

// The split and page asked for, within the channels the engine found in the
// recording it opened.
void selectRequestedView(PlayerEngine& engine, const PlayOptions& options) {
  const int channels = engine.maxSplit();
  const int split = options.split.value_or(channels);
  if (split > channels) {
    throw CommandError("split " + std::to_string(split) + " needs more than the " + std::to_string(channels) +
                       " channels of this recorder");
  }
  const int pages = splitPages(split, channels);
  if (options.page >= pages) {
    throw CommandError("page " + std::to_string(options.page) + " does not exist: split " + std::to_string(split) +
                       " has " + std::to_string(pages) + " page(s)");
  }
  engine.selectView(split, options.page);
}

// Polls like the window's timers do, until the worker shows the condition.
bool waitUntil(const std::function<bool()>& condition) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

// Where play starts: --start, or for backward play the end, as a user drags
// the position slider to its end (the jump shows the last picture that
// starts in the last block, and two bytes before the end is the last target
// a jump reads from); nothing to play from the start.
std::optional<std::uint64_t> startPosition(const PlayOptions& options, std::uint64_t size) {
  if (options.start) {
    const std::uint64_t position = resolveRangeBound("--start", *options.start, options.recording);
    if (position >= size) {
      throw CommandError("--start " + *options.start + " is at or past the end of the recording (" +
                         std::to_string(size) + " bytes)");
    }
    return position;
  }
  if (options.reverse) {
    return size - 2;
  }
  return std::nullopt;
}

// The commands that bring the engine to the requested start, direction and
// speed: a jump that plays on from the start, if any, then the fast play
// presses past 8.
void reachSpeed(PlayerEngine& engine, const SessionObserver& observer, const PlayOptions& options,
                std::optional<std::uint64_t> start) {
  const PlaybackState direction = options.reverse ? PlaybackState::Reverse : PlaybackState::Forward;
  // Past 8, play starts at normal speed and the presses take it on.
  const double playSpeed = options.speed <= 8.0 ? options.speed : 1.0;
  const std::uint64_t reports = observer.stateReports();
  if (start) {
    engine.playFrom(*start, options.reverse, playSpeed);
  } else {
    engine.play(playSpeed);
  }
  if (!waitUntil([&] { return observer.stateReports() > reports; })) {
    throw CommandError("the engine did not start to play");
  }
  if (options.speed <= 8.0) {
    return;
  }
  // 8, then doubling per press; a recording that ends (or begins) within the
  // presses pauses the engine, which the next press starts again at 8, so
  // the presses are bounded.
  const int presses = 1 + static_cast<int>(std::lround(std::log2(options.speed / 8.0)));
  for (int press = 0; press < 2 * presses && (engine.getSpeed() < options.speed || engine.getState() != direction);
       ++press) {
    const std::uint64_t reportsBefore = observer.stateReports();
    if (options.reverse) {
      engine.fastReverse();
    } else {
      engine.fastForward();
    }
    // Each press waits for the worker, as a user waits to see the speed.
    if (!waitUntil([&] { return observer.stateReports() > reportsBefore; })) {
      throw CommandError("the engine did not take the fast play command");
    }
  }
}

}  // namespace

std::optional<Size> parseSize(const std::string& text) {
  int width = 0;
  int height = 0;
  char tail = 0;
  if (std::sscanf(text.c_str(), "%dx%d%c", &width, &height, &tail) != 2 || width < 2 || height < 2 || width > 8192 ||
      height > 8192) {
    return std::nullopt;
  }
  return Size{width, height};
}

void runPlaySession(const PlayOptions& options) {
  createSnapshotFolder(options.outDir);
  std::optional<std::uint64_t> start;
  {
    // Refuse a recording that cannot be read, or a start outside it, before
    // the sound device opens.
    StreamSource probe;
    openRecording(probe, options.recording);
    start = startPosition(options, probe.getSize());
  }
  // Ctrl-C ends the run early the way its end does: the capture file is finished and the summary printed.
  StopOnSignals interrupt([] {});
  OffscreenPresenter presenter(*parseSize(options.size));
  const std::unique_ptr<TextPainter> painter = makeTextPainter();
  SdlAudioDevice sdlDevice(true);
  SilentAudioDevice silentDevice;
  AudioDevice& audioDevice = options.noAudio ? static_cast<AudioDevice&>(silentDevice) : sdlDevice;
  PlayerEngine engine({processPlaybackClock(), audioDevice, presenter, *painter, consoleMessageSink()});

  engine.configure(options.recording.variant, resolveAudioCodecId(kBuildAudioCodecName, consoleMessageSink()),
                   kBuildChannelCount, kBuildSampleRate);
  engine.setMode(EngineMode::Player, -1);
  SessionObserver observer(options, engine);
  engine.setObserver(&observer);
  const OnScopeExit stopWorker([&engine] { engine.closeSource(); });
  // Opened paused, nothing is shown before the view is chosen and the start
  // reached.
  if (engine.openSource(options.recording.path, options.recording.isDisk, OpenedPlay::Paused) != 1) {
    throw CommandError(engine.lastOpenFailure().message());
  }
  selectRequestedView(engine, options);
  // A command given before the worker took the pause would replace it in
  // the one-slot mailbox, and the pause would come after it.
  if (!waitUntil([&] { return engine.getState() == PlaybackState::Paused; })) {
    throw CommandError("the player engine did not start");
  }
  reachSpeed(engine, observer, options, start);
  const bool capturing = !options.avi.path.empty();
  if (capturing) {
    // The capture's frame takes its size from the pictures decoded.
    if (!waitUntil([&] { return observer.pictures() > 0; })) {
      throw CommandError("the recording showed no picture to size the capture by");
    }
    startAviCapture(engine, options.avi, kCaptureEveryPicture);
  }
  const bool interrupted = !interrupt.sleepFor(std::chrono::duration<double>(options.seconds));
  engine.closeSource();
  std::cerr << "played " << observer.pictures() << " pictures";
  if (options.snapshotEvery) {
    std::cerr << ", saved " << observer.snapshots() << " snapshots";
  }
  std::cerr << "\n";
  if (capturing) {
    finishAviCapture(engine, options.avi, options.events);
  }
  if (observer.failedSnapshots() != 0) {
    throw CommandError(std::to_string(observer.failedSnapshots()) + " snapshots could not be written");
  }
  if (interrupted) {
    throw CommandError("interrupted", kInterruptedExit);
  }
}

}  // namespace marlin::cli
