// Building the activity index of a large recording against reading it with
// `cat` (the recording in the page cache), with one and with two workers,
// and a region query over a day of sixteen cameras.
//
// The recordings are made once next to the binary: a minute of the sample
// recording (16 cameras, a ball moving in each) repeated up to
// MARLIN_BENCH_ACTIVITY_MIB (default 1024) MiB, with conditional pictures,
// and a quarter of that of refresh pictures alone, whose means bound the
// build instead.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "activity/activity_events.h"
#include "activity/index_builder.h"
#include "engine/sample/sample_recording.h"
#include "paired_reference.h"

namespace {

using marlin::activity::ActivityIndex;

std::uint64_t targetBytes() {
  const char* set = std::getenv("MARLIN_BENCH_ACTIVITY_MIB");
  return (set != nullptr ? std::strtoull(set, nullptr, 10) : 1024ull) << 20;
}

std::string binaryFolder() { return std::filesystem::canonical("/proc/self/exe").parent_path().string(); }

// The recording of `bytes` bytes, made by repeating a minute of the sample.
std::string recording(bool conditional, std::uint64_t bytes) {
  const std::string path = binaryFolder() + "/activity_bench_" + (conditional ? "conditional" : "refresh") + "_" +
                           std::to_string(bytes >> 20) + "MiB.QKV";
  if (std::filesystem::exists(path) && std::filesystem::file_size(path) >= bytes) {
    return path;
  }
  marlin::sample::SampleOptions options;
  options.channels = 16;
  options.seconds = 60;
  options.conditional = conditional;
  const std::vector<std::uint8_t> minute = marlin::sample::makeSampleRecording(options);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  for (std::uint64_t written = 0; written < bytes; written += minute.size()) {
    out.write(reinterpret_cast<const char*>(minute.data()), static_cast<std::streamsize>(minute.size()));
  }
  return path;
}

// What `cat FILE > /dev/null` does: reads of 128 KiB.
bool catPass(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY);
  if (fd < 0) {
    return false;
  }
  std::vector<char> buffer(128 << 10);
  ssize_t got = 0;
  while ((got = ::read(fd, buffer.data(), buffer.size())) > 0) {
    benchmark::DoNotOptimize(buffer.data());
  }
  ::close(fd);
  return got == 0;
}

bool indexPass(const std::string& path, unsigned threads) {
  marlin::activity::BuildOptions options;
  options.threads = threads;
  ActivityIndex index;
  const bool built = buildActivityIndex(path, {}, options, index).isOk();
  benchmark::DoNotOptimize(index.pictures);
  return built && index.pictures != 0;
}

// Index building against cat of the same file.
void BM_IndexVsCat(benchmark::State& state, bool conditional, unsigned threads) {
  const std::uint64_t bytes = conditional ? targetBytes() : targetBytes() / 4;
  const std::string path = recording(conditional, bytes);
  catPass(path);
  PairedReference paired;
  for (auto _ : state) {
    paired.pass(state, [&] { return catPass(path); });
    const auto begin = PairedReference::Clock::now();
    const bool built = indexPass(path, threads);
    paired.own(PairedReference::secondsSince(begin));
    if (!built || !paired.ok()) {
      state.SkipWithError("the recording could not be read or indexed");
      return;
    }
  }
  paired.report(state, "vs_cat", 1);
  state.counters["MiB"] = static_cast<double>(std::filesystem::file_size(path) >> 20);
}

// Two workers against one.
void BM_IndexSpeedUp(benchmark::State& state, bool conditional) {
  const std::string path = recording(conditional, conditional ? targetBytes() : targetBytes() / 4);
  PairedReference paired;
  for (auto _ : state) {
    paired.pass(state, [&] { return indexPass(path, 1); });
    const auto begin = PairedReference::Clock::now();
    const bool built = indexPass(path, 2);
    paired.own(PairedReference::secondsSince(begin));
    if (!built || !paired.ok()) {
      state.SkipWithError("the recording could not be indexed");
      return;
    }
  }
  paired.report(state, "vs_one_worker", 1);
}

// A day of sixteen cameras, each second with some activity somewhere.
ActivityIndex dayOfSixteenCameras() {
  ActivityIndex index;
  std::mt19937 random(24);
  std::uint64_t position = 0;
  for (auto& channel : index.channels) {
    channel.columns = 40;
    channel.rows = 14;
    channel.conditional = true;
    channel.seconds.resize(24 * 3600);
    std::uint32_t time = 1262347200;
    for (auto& second : channel.seconds) {
      second.time = time++;
      second.level = static_cast<std::uint16_t>(random() % 4 == 0 ? random() % 8000 : 0);
      for (int cell = 0; cell < 4 && second.level != 0; ++cell) {
        second.cells.set(random() % 140);
      }
      second.firstPosition = position;
      second.refreshPosition = position;
      position += 20000;
    }
  }
  return index;
}

void BM_RegionQuery(benchmark::State& state) {
  const ActivityIndex index = dayOfSixteenCameras();
  marlin::activity::EventQuery query;
  query.region = marlin::activity::Region{320, 64, 160, 96};
  std::size_t events = 0;
  for (auto _ : state) {
    events = marlin::activity::findEvents(index, query).size();
    benchmark::DoNotOptimize(events);
  }
  state.counters["events"] = static_cast<double>(events);
}

}  // namespace

BENCHMARK_CAPTURE(BM_IndexVsCat, conditional / 1_worker, true, 1u)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_IndexVsCat, conditional / 2_workers, true, 2u)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_IndexSpeedUp, conditional, true)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_IndexVsCat, refresh_only / 2_workers, false, 2u)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_IndexSpeedUp, refresh_only, false)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RegionQuery)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
