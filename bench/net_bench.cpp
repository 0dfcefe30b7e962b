// The DVR client's live path: how fast the stream parser cuts a live stream (as a ratio of copying the same
// bytes, measured in the same iterations), how long a picture takes from the DVR's send to the renderer on
// loopback, and how much processor time a connected session costs, idle and live with sound.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <random>
#include <vector>

#include "live_session.h"
#include "net/net_test_support.h"
#include "net/stream_parser.h"
#include "support/live_pictures.h"
#include "support/synthetic_recording.h"

namespace {

using marlin::bench::Bytes;
using marlin::bench::Clock;
using marlin::bench::FakeDvr;
using marlin::bench::LiveViewer;
using marlin::bench::SessionPlan;

double secondsSince(Clock::time_point begin) { return std::chrono::duration<double>(Clock::now() - begin).count(); }

// The value below which the given fraction of values lies.
double percentile(std::vector<double> values, double fraction) {
  if (values.empty()) {
    return 0;
  }
  std::sort(values.begin(), values.end());
  const auto index = static_cast<std::size_t>(fraction * static_cast<double>(values.size()));
  return values[std::min(index, values.size() - 1)];
}

// A DVR's status report: five words.
constexpr const char* kStatusReport = "0020000800010002000300040005";

// --- The stream parser ---

// What the client's connection asks of one receive: the largest piece the parser keeps.
constexpr std::size_t kReceiveBytes = marlin::net::kLiveVideoCapacity;

struct PieceCounts {
  std::uint64_t videoFrames = 0;
  std::uint64_t videoBytes = 0;
  std::uint64_t soundPackets = 0;
  std::uint64_t messages = 0;
  bool operator==(const PieceCounts&) const = default;
};

class CountingSink final : public marlin::net::StreamSink {
 public:
  void videoFrame(const std::uint8_t*, std::size_t n) override {
    ++counts.videoFrames;
    counts.videoBytes += n;
  }
  void audioPacket(const std::uint8_t*, std::size_t) override { ++counts.soundPackets; }
  void controlMessage(const std::uint8_t*, std::size_t) override { ++counts.messages; }

  PieceCounts counts;
};

struct LiveStream {
  Bytes bytes;
  // What a parser must deliver from it.
  PieceCounts pieces;
};

// About 16 MiB of live stream: beyond the second-level caches, so neither pass works from them alone, and
// within the last level, where freshly received bytes are. Pictures of 10-40 KB of noise (every 25th a
// refresh picture), each followed by a 1 KB sound packet; every fifth picture carries a status report in its
// middle, and a report follows every fifth other picture.
LiveStream makeLiveStream() {
  constexpr std::size_t kStreamBytes = std::size_t{16} << 20;
  std::mt19937 random(20240907);
  std::uniform_int_distribution<std::size_t> pictureLength(10000, 40000);
  const Bytes status = marlin::net::testing::controlBytes(kStatusReport);
  const Bytes sound = marlin::synth::makeAudioFrame(0, 1018);
  LiveStream stream;
  const auto append = [&](auto begin, auto end) { stream.bytes.insert(stream.bytes.end(), begin, end); };
  for (int i = 0; stream.bytes.size() < kStreamBytes; ++i) {
    Bytes picture = marlin::synth::makeVideoFrame(0, pictureLength(random), random, i % 25 == 0);
    marlin::synth::removeStartCodes(picture.data() + 1, picture.size() - 1, marlin::synth::StartCodes::LiveStream);
    const auto middle = picture.begin() + static_cast<std::ptrdiff_t>(picture.size() / 2);
    append(picture.begin(), middle);
    if (i % 5 == 0) {
      append(status.begin(), status.end());
      ++stream.pieces.messages;
    }
    append(middle, picture.end());
    if (i % 5 == 2) {
      append(status.begin(), status.end());
      ++stream.pieces.messages;
    }
    append(sound.begin(), sound.end());
    ++stream.pieces.videoFrames;
    stream.pieces.videoBytes += picture.size();
    ++stream.pieces.soundPackets;
  }
  // No start code comes after the last sound packet to end it.
  --stream.pieces.soundPackets;
  return stream;
}

template <typename Take>
void forEachReceive(const Bytes& stream, Take take) {
  for (std::size_t at = 0; at < stream.size(); at += kReceiveBytes) {
    take(stream.data() + at, std::min(kReceiveBytes, stream.size() - at));
  }
}

// Each iteration first copies the stream, in receive-sized chunks, into one receive buffer (the reference,
// outside the measured time), then feeds the same chunks to a fresh parser whose sink only counts.
// vs_memcpy is the median over iterations of copy time / parse time: pairs made milliseconds apart share
// the machine's other load. vs_memcpy_best compares the fastest pass of each kind.
void BM_StreamParser(benchmark::State& state) {
  static const LiveStream stream = makeLiveStream();
  Bytes receiveBuffer(kReceiveBytes);
  CountingSink sink;
  std::optional<marlin::net::StreamParser> parser;
  std::vector<double> ratios;
  double bestCopy = 1e30;
  double bestParse = 1e30;
  for (auto _ : state) {
    state.PauseTiming();
    const Clock::time_point copyBegin = Clock::now();
    forEachReceive(stream.bytes, [&](const std::uint8_t* data, std::size_t n) {
      std::memcpy(receiveBuffer.data(), data, n);
      benchmark::ClobberMemory();
    });
    const double copySeconds = secondsSince(copyBegin);
    sink.counts = {};
    parser.emplace(sink);
    state.ResumeTiming();

    const Clock::time_point begin = Clock::now();
    forEachReceive(stream.bytes, [&](const std::uint8_t* data, std::size_t n) { parser->feed(data, n); });
    const double parseSeconds = secondsSince(begin);
    if (sink.counts != stream.pieces) {
      state.SkipWithError("the parser did not cut the stream into the pieces it was made of");
      break;
    }
    ratios.push_back(copySeconds / parseSeconds);
    bestCopy = std::min(bestCopy, copySeconds);
    bestParse = std::min(bestParse, parseSeconds);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(stream.bytes.size()) * state.iterations());
  state.counters["vs_memcpy"] = percentile(ratios, 0.5);
  state.counters["vs_memcpy_best"] = bestCopy / bestParse;
  state.counters["stream_MiB"] = static_cast<double>(stream.bytes.size()) / (1 << 20);
}
BENCHMARK(BM_StreamParser)->Unit(benchmark::kMillisecond)->UseRealTime();

// --- Live sessions on loopback through the engine ---

constexpr std::size_t kWarmUpPictures = 10;
constexpr std::size_t kMeasuredPictures = 250;

const std::vector<Bytes>& movingPictures() {
  static const std::vector<Bytes> pictures =
      marlin::testing::livePictures(static_cast<int>(kWarmUpPictures + kMeasuredPictures));
  return pictures;
}

// Runs the plan against a fresh viewer; false, with the reason given to state, when the session did not go
// through as planned.
bool runSession(benchmark::State& state, FakeDvr& dvr, LiveViewer& viewer, std::size_t pictures) {
  if (!viewer.connect(dvr.port())) {
    state.SkipWithError("the engine did not start the connection");
  } else if (!dvr.waitUntilSent()) {
    state.SkipWithError("the fake DVR did not get through its session");
  } else if (!viewer.waitForPictures(pictures)) {
    state.SkipWithError("not every picture sent was shown");
  } else if (dvr.connections() != 1) {
    state.SkipWithError("the client logged in again during the session");
  } else {
    return true;
  }
  return false;
}

// From the DVR's send of a picture to the renderer taking it, at range(0) pictures a second, from a DVR
// that sends each picture at once (range(1) = 1) or one whose socket holds a send back until the previous
// one is acknowledged (0: Nagle's algorithm, which meets the client's delayed acknowledgements). Each
// picture goes out in one send with an empty sound packet behind it, whose start code ends the picture at
// once, as the next picture's would: what is measured excludes the wait for the next picture.
void BM_PictureLatency(benchmark::State& state) {
  const auto picturesPerSecond = static_cast<double>(state.range(0));
  const bool sendAtOnce = state.range(1) != 0;
  const Bytes pictureEnd = marlin::synth::makeAudioFrame(0, 0);
  for (auto _ : state) {
    SessionPlan plan;
    for (const Bytes& picture : movingPictures()) {
      plan.units.push_back(marlin::net::testing::joined({picture, pictureEnd}));
    }
    plan.unitsPerSecond = picturesPerSecond;
    plan.seconds = static_cast<double>(plan.units.size()) / picturesPerSecond;
    plan.sendAtOnce = sendAtOnce;
    const std::size_t pictures = plan.units.size();
    FakeDvr dvr(std::move(plan));
    LiveViewer viewer(pictures);
    if (!runSession(state, dvr, viewer, pictures)) {
      break;
    }
    std::vector<double> latencies;
    for (std::size_t i = kWarmUpPictures; i < pictures; ++i) {
      const Clock::duration latency = viewer.shownTimes()[i] - dvr.sendTimes()[i];
      latencies.push_back(std::chrono::duration<double, std::milli>(latency).count());
    }
    state.counters["latency_ms_median"] = percentile(latencies, 0.5);
    state.counters["latency_ms_p99"] = percentile(latencies, 0.99);
    state.counters["pictures_measured"] = static_cast<double>(latencies.size());
  }
}
BENCHMARK(BM_PictureLatency)
    ->ArgNames({"pictures_per_s", "dvr_nodelay"})
    ->ArgsProduct({{30, 120}, {1, 0}})
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

constexpr double kIdleSeconds = 3;
constexpr double kLiveSeconds = 4;
constexpr std::size_t kLivePicturesPerSecond = 30;
// 260 samples with the start code and lead-in make a 266-byte packet; 30 a second carry about 8000 samples.
constexpr std::size_t kSoundSamplesPerPicture = 260;

SessionPlan idlePlan() {
  SessionPlan plan;
  plan.seconds = kIdleSeconds;
  return plan;
}

// Pictures at 30 a second, each with its sound packet behind it.
SessionPlan livePlan() {
  SessionPlan plan;
  const auto count = static_cast<std::size_t>(kLiveSeconds * kLivePicturesPerSecond);
  for (std::size_t i = 0; i < count; ++i) {
    const auto firstSample = static_cast<std::uint32_t>(i * kSoundSamplesPerPicture);
    plan.units.push_back(marlin::net::testing::joined(
        {movingPictures()[i], marlin::synth::makeAudioFrame(0, kSoundSamplesPerPicture, firstSample)}));
  }
  plan.unitsPerSecond = kLivePicturesPerSecond;
  plan.seconds = kLiveSeconds;
  return plan;
}

// Processor seconds per second of the whole process but the fake DVR's thread, over a logged-in session.
void BM_SessionCpu(benchmark::State& state, SessionPlan (*makePlan)()) {
  for (auto _ : state) {
    SessionPlan plan = makePlan();
    const std::size_t pictures = plan.units.size();
    FakeDvr dvr(std::move(plan));
    LiveViewer viewer(pictures);
    if (!runSession(state, dvr, viewer, pictures)) {
      break;
    }
    state.counters["cpu_per_s"] = dvr.clientCpuSecondsPerSecond();
    state.counters["pictures_shown"] = static_cast<double>(viewer.picturesShown());
    state.counters["sound_packets_played"] = static_cast<double>(viewer.soundPacketsPlayed());
  }
}
BENCHMARK_CAPTURE(BM_SessionCpu, idle, idlePlan)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_SessionCpu, live_30_pictures_per_s_with_sound, livePlan)
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
