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

// What the recording's cameras see.
enum class Content {
  Busy,         // the sample's ball moving on every camera all the time, conditional pictures
  Quiet,        // still scenes with sensor noise and now and then a box moving, conditional pictures
  RefreshOnly,  // the busy one in refresh pictures alone
};

const char* nameOf(Content content) {
  switch (content) {
    case Content::Busy:
      return "conditional";
    case Content::Quiet:
      return "quiet";
    case Content::RefreshOnly:
      return "refresh";
  }
  return "";
}

// The recording of `bytes` bytes, made by repeating a minute of the sample.
std::string recording(Content content, std::uint64_t bytes) {
  const std::string path =
      binaryFolder() + "/activity_bench_" + nameOf(content) + "_" + std::to_string(bytes >> 20) + "MiB.QKV";
  if (std::filesystem::exists(path) && std::filesystem::file_size(path) >= bytes) {
    return path;
  }
  marlin::sample::SampleOptions options;
  options.channels = 16;
  options.seconds = 60;
  options.conditional = content != Content::RefreshOnly;
  if (content == Content::Quiet) {
    options.noiseSigma = 2.0;
    for (unsigned channel = 0; channel < 16; channel += 3) {
      options.motion.push_back({channel, 5.0 + channel * 3, 9.0 + channel * 3, std::nullopt});
    }
  }
  const std::vector<std::uint8_t> minute = marlin::sample::makeSampleRecording(options);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  for (std::uint64_t written = 0; written < bytes; written += minute.size()) {
    out.write(reinterpret_cast<const char*>(minute.data()), static_cast<std::streamsize>(minute.size()));
  }
  return path;
}

std::uint64_t bytesOf(Content content) { return content == Content::RefreshOnly ? targetBytes() / 4 : targetBytes(); }

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
void BM_IndexVsCat(benchmark::State& state, Content content, unsigned threads) {
  const std::string path = recording(content, bytesOf(content));
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
void BM_IndexSpeedUp(benchmark::State& state, Content content) {
  const std::string path = recording(content, bytesOf(content));
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
  // As a viewer asks, again and again into the same list.
  std::vector<marlin::activity::ActivityEvent> events;
  for (auto _ : state) {
    marlin::activity::findEvents(index, query, events);
    benchmark::DoNotOptimize(events.data());
  }
  state.counters["events"] = static_cast<double>(events.size());
}

}  // namespace

BENCHMARK_CAPTURE(BM_IndexVsCat, conditional / 1_worker, Content::Busy, 1u)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_IndexVsCat, conditional / 2_workers, Content::Busy, 2u)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_IndexSpeedUp, conditional, Content::Busy)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_IndexVsCat, quiet / 2_workers, Content::Quiet, 2u)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_IndexSpeedUp, quiet, Content::Quiet)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_IndexVsCat, refresh_only / 2_workers, Content::RefreshOnly, 2u)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_IndexSpeedUp, refresh_only, Content::RefreshOnly)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RegionQuery)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
