// The player engine end to end: how many pictures a second it reads,
// decodes, converts and composes when nothing holds it back (as a ratio of
// decoding alone, measured in the same process just before), and how much
// processor time real-time playback and a paused engine cost.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <thread>
#include <vector>

#include "codec/yuv_picture.h"
#include "engine/player_engine.h"
#include "engine/sample/sample_recording.h"
#include "platform/silent_audio_device.h"
#include "render/bitmap_font_painter.h"
#include "render/offscreen_presenter.h"
#include "source/stream_source.h"

namespace {

using Clock = std::chrono::steady_clock;
using marlin::PlaybackState;

double secondsSince(Clock::time_point begin) { return std::chrono::duration<double>(Clock::now() - begin).count(); }

double processCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const auto seconds = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
  };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// A clock whose waits only poll: the engine runs as fast as it can.
class UnpacedClock final : public marlin::PlaybackClock {
 public:
  std::uint32_t now() const override { return marlin::processPlaybackClock().now(); }
  int waitAny(std::initializer_list<const marlin::ManualResetEvent*> events, std::uint32_t) override {
    return marlin::waitAny(events, std::chrono::milliseconds(0));
  }
};

class PictureCounter final : public marlin::PlaybackObserver {
 public:
  void pictureShown(int, const marlin::CalendarTime&, int, int, std::uint64_t) override { ++pictures; }
  void stateChanged(PlaybackState, double) override {}
  std::atomic<std::uint64_t> pictures{0};
};

// Sample recordings, made on the first run and kept in /tmp.
std::string samplePath(unsigned channels, unsigned seconds, bool conditional) {
  const std::string path = "/tmp/marlin-engine-bench-" + std::to_string(channels) + "ch-" + std::to_string(seconds) +
                           (conditional ? "s-cond.QKV" : "s.QKV");
  if (!std::filesystem::exists(path)) {
    marlin::sample::SampleOptions options;
    options.channels = channels;
    options.seconds = seconds;
    options.audio = true;
    options.conditional = conditional;
    const std::vector<std::uint8_t> bytes = marlin::sample::makeSampleRecording(options);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  return path;
}

struct Rig {
  Rig(marlin::PlaybackClock& clock, int channels, int split)
      : engine({clock, audio, presenter, painter, marlin::consoleMessageSink()}) {
    engine.configure(4, 1, channels, 8000);
    engine.setMode(marlin::EngineMode::Player, -1);
    engine.selectView(split, 0);
    engine.setObserver(&counter);
  }
  ~Rig() { engine.closeSource(); }

  bool waitFor(const std::function<bool()>& condition, double limitSeconds = 60) {
    const auto begin = Clock::now();
    while (!condition()) {
      if (secondsSince(begin) > limitSeconds) {
        return false;
      }
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return true;
  }

  marlin::SilentAudioDevice audio;
  marlin::OffscreenPresenter presenter{marlin::Size{1280, 896}};
  marlin::BitmapFontPainter painter;
  PictureCounter counter;
  marlin::PlayerEngine engine;
};

// Decoding alone: every picture of the recording through the decoder and the
// per-channel store, nothing shown.
std::uint64_t decodeOnly(const std::string& path) {
  marlin::StreamSource source;
  source.setCodecVariant(4);
  if (!source.open(path, false)) {
    return 0;
  }
  marlin::VideoDecoder decoder;
  decoder.Init(4);
  marlin::PictureStore store;
  std::vector<std::uint8_t> frame(0x20010);
  std::uint64_t pictures = 0;
  while (const std::uint32_t length = marlin::readOnward(source, frame.data(), false)) {
    if (!source.header().isAudio && store.decode(decoder, frame.data(), length) != nullptr) {
      ++pictures;
    }
  }
  return pictures;
}

void BM_EngineFlatOut(benchmark::State& state) {
  const auto channels = static_cast<unsigned>(state.range(0));
  const std::string path = samplePath(channels, channels == 16 ? 8 : 4, false);
  const std::uint64_t total = decodeOnly(path);
  UnpacedClock clock;
  Rig rig(clock, static_cast<int>(channels), static_cast<int>(channels));
  // Above normal speed the sound, which would hold the pictures to real
  // time, is not played.
  rig.engine.adjustSpeed(8.0);
  std::vector<double> ratios;
  double ownSeconds = 0;
  for (auto _ : state) {
    state.PauseTiming();
    const auto referenceBegin = Clock::now();
    benchmark::DoNotOptimize(decodeOnly(path));
    const double referenceSeconds = secondsSince(referenceBegin);
    rig.counter.pictures = 0;
    state.ResumeTiming();

    const auto begin = Clock::now();
    rig.engine.openSource(path, false);
    if (!rig.waitFor([&] { return rig.counter.pictures >= total; })) {
      state.SkipWithError("the engine did not show every picture");
      break;
    }
    const double seconds = secondsSince(begin);
    state.PauseTiming();
    rig.engine.closeSource();
    state.ResumeTiming();
    ownSeconds += seconds;
    ratios.push_back(referenceSeconds / seconds);
  }
  if (!ratios.empty()) {
    std::sort(ratios.begin(), ratios.end());
    state.counters["pictures_per_s"] = static_cast<double>(total) * static_cast<double>(ratios.size()) / ownSeconds;
    state.counters["vs_decode_only"] = ratios[ratios.size() / 2];
  }
}
BENCHMARK(BM_EngineFlatOut)->Arg(4)->Arg(16)->Unit(benchmark::kMillisecond)->UseRealTime();

// Processor seconds per second of real time, for a few seconds of real-time
// playback of the 4-channel sample with sound, then paused, then resting at
// the end of the recording.
void BM_EngineCpuLoad(benchmark::State& state) {
  const std::string path = samplePath(4, 30, true);
  marlin::SteadyPlaybackClock& clock = marlin::processPlaybackClock();
  constexpr double kSeconds = 4;
  for (auto _ : state) {
    Rig rig(clock, 4, 4);
    rig.engine.openSource(path, false);
    rig.waitFor([&] { return rig.counter.pictures > 0; });
    const auto measure = [&] {
      const double cpuBegin = processCpuSeconds();
      const std::uint64_t picturesBegin = rig.counter.pictures;
      const auto begin = Clock::now();
      std::this_thread::sleep_for(std::chrono::duration<double>(kSeconds));
      const double seconds = secondsSince(begin);
      state.counters["pictures_per_s"] = static_cast<double>(rig.counter.pictures - picturesBegin) / seconds;
      return (processCpuSeconds() - cpuBegin) / seconds;
    };
    state.counters["cpu_per_s_playing"] = measure();
    state.counters["pictures_per_s_playing"] = state.counters["pictures_per_s"];
    rig.engine.pause();
    rig.waitFor([&] { return rig.engine.getState() == PlaybackState::Paused; });
    state.counters["cpu_per_s_paused"] = measure();
    // The jump shows one picture; until then a new command would replace it.
    const std::uint64_t shown = rig.counter.pictures;
    rig.engine.jumpTo(rig.engine.getSourceSize() - 40000);
    rig.waitFor([&] { return rig.counter.pictures > shown && rig.engine.getState() == PlaybackState::Paused; });
    rig.engine.play(1);
    rig.waitFor([&] { return rig.engine.getState() == PlaybackState::Forward; });
    rig.waitFor([&] { return rig.engine.getState() == PlaybackState::Paused; }, 10);
    state.counters["cpu_per_s_at_end"] = measure();
    state.counters.erase("pictures_per_s");
  }
}
BENCHMARK(BM_EngineCpuLoad)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

// A recording of about a gigabyte: the 16-camera conditional sample repeated
// block for block (its times start over at each join, which a jump by
// position does not look at).
std::string gigabytePath() {
  const std::string path = "/tmp/marlin-engine-bench-16ch-1GiB-cond.QKV";
  if (!std::filesystem::exists(path)) {
    std::ifstream in(samplePath(16, 60, true), std::ios::binary);
    const std::vector<char> segment((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::ofstream out(path + ".part", std::ios::binary);
    for (std::uint64_t written = 0; written < (std::uint64_t{1} << 30); written += segment.size()) {
      out.write(segment.data(), static_cast<std::streamsize>(segment.size()));
    }
    out.close();
    std::filesystem::rename(path + ".part", path);
  }
  return path;
}

// Reports when the worker has taken a jump and paused after it.
class JumpWatch final : public marlin::PlaybackObserver {
 public:
  void pictureShown(int, const marlin::CalendarTime&, int, int, std::uint64_t) override { ++pictures; }
  void stateChanged(PlaybackState state, double) override {
    if (state == PlaybackState::Jump) {
      jumped = true;
    } else if (state == PlaybackState::Paused && jumped) {
      landed = true;
    }
  }
  std::atomic<bool> jumped{false};
  std::atomic<bool> landed{false};
  std::atomic<std::uint64_t> pictures{0};
};

// From a jump's command to its pictures in every cell of the 16-way split,
// each decoded from its camera's last refresh picture: the median of jumps
// to positions spread over a gigabyte recording (read once before, so the
// system's cache holds it as it would after a first look).
void BM_JumpToCleanPictures(benchmark::State& state) {
  const std::string path = gigabytePath();
  std::ifstream(path, std::ios::binary).ignore(std::numeric_limits<std::streamsize>::max());
  marlin::SteadyPlaybackClock& clock = marlin::processPlaybackClock();
  Rig rig(clock, 16, 16);
  JumpWatch watch;
  rig.engine.setObserver(&watch);
  rig.engine.openSource(path, false, marlin::OpenedPlay::Paused);
  rig.waitFor([&] { return rig.engine.getState() == PlaybackState::Paused; });
  const std::uint64_t size = rig.engine.getSourceSize();
  std::vector<double> milliseconds;
  std::uint64_t target = size / 7;
  std::uint64_t pictures = 0;
  for (auto _ : state) {
    watch.jumped = false;
    watch.landed = false;
    const std::uint64_t shownBefore = watch.pictures;
    const auto begin = Clock::now();
    rig.engine.jumpTo(target);
    if (!rig.waitFor([&] { return watch.landed.load(); })) {
      state.SkipWithError("the jump did not land");
      break;
    }
    milliseconds.push_back(secondsSince(begin) * 1000);
    pictures += watch.pictures - shownBefore;
    target = (target + size / 7 + 12345) % size;
  }
  rig.engine.closeSource();
  if (!milliseconds.empty()) {
    std::sort(milliseconds.begin(), milliseconds.end());
    state.counters["median_ms"] = milliseconds[milliseconds.size() / 2];
    state.counters["worst_ms"] = milliseconds.back();
    state.counters["pictures_per_jump"] = static_cast<double>(pictures) / static_cast<double>(milliseconds.size());
  }
}
BENCHMARK(BM_JumpToCleanPictures)->Iterations(40)->Unit(benchmark::kMillisecond)->UseRealTime();

// Processor seconds per second of real time playing the 16-camera
// conditional sample backward, as a ratio of playing it forward at the same
// speed, and the pictures a second each shows (backward play keeps real time
// when it shows as many as forward play).
void BM_ReverseAgainstForward(benchmark::State& state) {
  const double speed = static_cast<double>(state.range(0));
  const std::string path = samplePath(16, 60, true);
  marlin::SteadyPlaybackClock& clock = marlin::processPlaybackClock();
  constexpr double kSeconds = 5;
  for (auto _ : state) {
    Rig rig(clock, 16, 16);
    const auto measure = [&](bool reverse) {
      rig.engine.openSource(path, false, marlin::OpenedPlay::Paused);
      rig.waitFor([&] { return rig.engine.getState() == PlaybackState::Paused; });
      rig.engine.playFrom(reverse ? rig.engine.getSourceSize() * 9 / 10 : rig.engine.getSourceSize() / 10, reverse,
                          speed);
      rig.waitFor([&] { return rig.engine.getState() == (reverse ? PlaybackState::Reverse : PlaybackState::Forward); });
      const double cpuBegin = processCpuSeconds();
      const std::uint64_t picturesBegin = rig.counter.pictures;
      const auto begin = Clock::now();
      std::this_thread::sleep_for(std::chrono::duration<double>(kSeconds / speed * 2));
      const double seconds = secondsSince(begin);
      const double cpu = (processCpuSeconds() - cpuBegin) / seconds;
      const double pictures = static_cast<double>(rig.counter.pictures - picturesBegin) / seconds;
      rig.engine.closeSource();
      return std::pair{cpu, pictures};
    };
    const auto [forwardCpu, forwardPictures] = measure(false);
    const auto [reverseCpu, reversePictures] = measure(true);
    state.counters["cpu_per_s_forward"] = forwardCpu;
    state.counters["cpu_per_s_reverse"] = reverseCpu;
    state.counters["reverse_vs_forward_cpu"] = reverseCpu / forwardCpu;
    state.counters["pictures_per_s_forward"] = forwardPictures;
    state.counters["pictures_per_s_reverse"] = reversePictures;
  }
}
BENCHMARK(BM_ReverseAgainstForward)->Arg(1)->Arg(8)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
