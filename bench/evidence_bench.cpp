// Checking an evidence folder of about 1 GiB (MARLIN_BENCH_EVIDENCE_MIB)
// against `sha256sum` hashing the same files, the folder in the page cache.
// The folder is laid out once next to the binary: an original.QKV of the
// sample recording repeated, a working copy, manifest.json and SHA256SUMS.
// Each repetition times both, one after the other; the ratio reported is
// the median of the pairs (sha256sum's time over the check's).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/evidence_check.h"
#include "engine/sample/sample_recording.h"
#include "evidence/json_value.h"
#include "evidence/json_writer.h"
#include "evidence/sha256.h"
#include "evidence/sha256sums.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using marlin::evidence::JsonValue;

double secondsSince(Clock::time_point begin) { return std::chrono::duration<double>(Clock::now() - begin).count(); }

std::uint64_t targetBytes() {
  const char* set = std::getenv("MARLIN_BENCH_EVIDENCE_MIB");
  return (set != nullptr ? std::strtoull(set, nullptr, 10) : 1024ull) << 20;
}

void writeText(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

std::string sha256OfFile(const std::string& path) {
  marlin::evidence::Sha256 hash;
  std::ifstream in(path, std::ios::binary);
  std::vector<char> chunk(1 << 20);
  while (in.read(chunk.data(), static_cast<std::streamsize>(chunk.size())) || in.gcount() > 0) {
    hash.add({reinterpret_cast<const std::uint8_t*>(chunk.data()), static_cast<std::size_t>(in.gcount())});
  }
  const marlin::evidence::Sha256Digest digest = hash.finish();
  return marlin::evidence::hexText(digest);
}

// The folder, made once: the sample's minute repeated (its block times run 12:00:00 to 12:00:59 over and over).
std::string evidenceFolder() {
  const std::uint64_t bytes = targetBytes();
  const std::string folder =
      fs::canonical("/proc/self/exe").parent_path().string() + "/evidence_bench_" + std::to_string(bytes >> 20) + "MiB";
  if (fs::exists(folder + "/SHA256SUMS")) return folder;
  fs::create_directories(folder);
  marlin::sample::SampleOptions options;
  options.channels = 4;
  options.seconds = 60;
  options.audio = true;
  const std::vector<std::uint8_t> minute = marlin::sample::makeSampleRecording(options);
  {
    std::ofstream out(folder + "/original.QKV", std::ios::binary | std::ios::trunc);
    for (std::uint64_t written = 0; written < bytes; written += minute.size()) {
      out.write(reinterpret_cast<const char*>(minute.data()), static_cast<std::streamsize>(minute.size()));
    }
  }
  writeText(folder + "/CH1.mp4", std::string(4 << 20, 'v'));
  JsonValue manifest = JsonValue::object();
  manifest.add("recording", JsonValue::object()).add("variant", JsonValue::wholeNumber(options.variant));
  JsonValue& exported = manifest.add("range", JsonValue::object()).add("exported", JsonValue::object());
  exported.add("start_time", JsonValue::string("2010-01-01 12:00:00"));
  exported.add("end_time", JsonValue::string("2010-01-01 12:00:59"));
  JsonValue& files = manifest.add("files", JsonValue::array());
  std::vector<marlin::evidence::Sha256SumsEntry> sums;
  for (const std::string name : {"original.QKV", "CH1.mp4"}) {
    JsonValue& file = files.push(JsonValue::object());
    file.add("name", JsonValue::string(name));
    file.add("size", JsonValue::wholeNumber(fs::file_size(folder + "/" + name)));
    sums.push_back({sha256OfFile(folder + "/" + name), name});
    file.add("sha256", JsonValue::string(sums.back().sha256));
  }
  writeText(folder + "/manifest.json", marlin::evidence::writeJson(manifest));
  sums.push_back({sha256OfFile(folder + "/manifest.json"), "manifest.json"});
  std::string listing;
  if (!marlin::evidence::writeSha256Sums(sums, listing)) return {};
  writeText(folder + "/SHA256SUMS", listing);
  return folder;
}

void BM_VerifyVsSha256sum(benchmark::State& state) {
  const std::string folder = evidenceFolder();
  const std::string reference = "cd '" + folder + "' && sha256sum original.QKV CH1.mp4 manifest.json > /dev/null";
  // Into the page cache, both sides alike.
  if (folder.empty() || std::system(reference.c_str()) != 0) {
    state.SkipWithError("could not make the folder or run sha256sum");
    return;
  }
  std::vector<double> ratios;
  for (auto _ : state) {
    auto begin = Clock::now();
    const bool summed = std::system(reference.c_str()) == 0;
    const double sha256sumSeconds = secondsSince(begin);
    begin = Clock::now();
    std::vector<marlin::EvidenceFinding> findings;
    const marlin::Status checked = marlin::checkEvidenceFolder(folder, {}, findings);
    const double ownSeconds = secondsSince(begin);
    if (!summed || !checked || marlin::countProblems(findings) != 0) {
      state.SkipWithError("the folder did not check as intact");
      return;
    }
    state.SetIterationTime(ownSeconds);
    ratios.push_back(sha256sumSeconds / ownSeconds);
  }
  std::sort(ratios.begin(), ratios.end());
  state.counters["MiB"] = static_cast<double>(targetBytes() >> 20);
  state.counters["vs_sha256sum_median"] = ratios[ratios.size() / 2];
  state.counters["vs_sha256sum_min"] = ratios.front();
}

BENCHMARK(BM_VerifyVsSha256sum)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
