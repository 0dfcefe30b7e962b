// Export speed: pictures a second that the export job turns into a file
// (reading, decoding, converting, doubling to full height, stamping and
// writing, uncompressed, MJPEG or H.264 in MP4), as a ratio of the ffmpeg
// command-line tool encoding the same decoded pictures from a raw file in
// the page cache with the same codec and settings on one thread; and a
// four-camera H.264 export on two threads against one. Each repetition times
// both sides, one after the other; the ratio reported is the median of the
// pairs.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "engine/sample/sample_recording.h"
#include "export/compression_choice.h"
#include "export/export_job.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point begin) { return std::chrono::duration<double>(Clock::now() - begin).count(); }

// In memory where there is a memory file system: both sides write hundreds of megabytes a run, and the disk's
// write-back would time the disk rather than either program.
const std::string kWorkDir =
    std::filesystem::is_directory("/dev/shm") ? "/dev/shm/marlin-export-bench" : "/tmp/marlin-export-bench";

// `channels` cameras, 20 seconds of refresh pictures: 600 fields of 640 x 224 in all.
std::string recordingPath(unsigned channels = 1) {
  const std::string path = kWorkDir + "/cameras" + std::to_string(channels) + ".QKV";
  if (!std::filesystem::exists(path)) {
    std::filesystem::create_directories(kWorkDir);
    marlin::sample::SampleOptions options;
    options.channels = channels;
    options.seconds = 20;
    const std::vector<std::uint8_t> bytes = marlin::sample::makeSampleRecording(options);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  return path;
}

struct ExportRun {
  std::uint64_t pictures = 0;
  double seconds = 0;
  std::string file;
};

// What an export writes: the codec, the container (by extension), the cameras and the writing threads.
struct ExportSetup {
  marlin::VideoCodec codec = marlin::VideoCodec::Uncompressed;
  std::string extension = ".avi";
  unsigned channels = 1;
  unsigned threads = 1;
};

// The whole export as a user starts it: both passes, with the CLI's settings (a key frame a second).
ExportRun exportRecording(const ExportSetup& setup) {
  marlin::ExportJob job;
  marlin::Compression compression;
  compression.codec = setup.codec;
  compression.keyFrameInterval = 0;
  marlin::compression_choice::set(compression);
  job.setThreads(setup.threads);
  const auto begin = Clock::now();
  if (!job.openInput(recordingPath(setup.channels), false) || !job.prepare(kWorkDir + "/ours" + setup.extension) ||
      job.start() == 0) {
    return {};
  }
  while (!job.done()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ExportRun run{job.picturesWritten(), secondsSince(begin), kWorkDir + "/ours-CH1" + setup.extension};
  job.destroy();
  return run;
}

int shell(const std::string& command) { return std::system(command.c_str()); }

// The pictures as the export writes them, decoded once to raw B, G, R frames for ffmpeg to read.
struct RawPictures {
  std::string path;
  int width = 0;
  int height = 0;
  std::uint64_t count = 0;
};

RawPictures rawPictures() {
  const ExportRun reference = exportRecording({});
  RawPictures raw{kWorkDir + "/pictures.bgr", 640, 448, reference.pictures};
  if (reference.pictures == 0 || shell("ffmpeg -nostdin -hide_banner -loglevel error -y -i " + reference.file +
                                       " -f rawvideo -pix_fmt bgr24 " + raw.path) != 0) {
    raw.count = 0;
  }
  return raw;
}

// ffmpeg encoding the raw pictures on one thread; nothing on failure.
double ffmpegSeconds(const RawPictures& raw, const std::string& codecArguments, const std::string& extension) {
  const std::string command =
      "ffmpeg -nostdin -hide_banner -loglevel error -threads 1 -filter_threads 1"
      " -f rawvideo -pix_fmt bgr24 -s " +
      std::to_string(raw.width) + "x" + std::to_string(raw.height) + " -r 30 -i " + raw.path + " -threads 1 " +
      codecArguments + " -y " + kWorkDir + "/ffmpeg" + extension;
  const auto begin = Clock::now();
  return shell(command) == 0 ? secondsSince(begin) : 0;
}

void exportAgainstFfmpeg(benchmark::State& state, const ExportSetup& setup, const std::string& codecArguments) {
  const RawPictures raw = rawPictures();
  if (raw.count == 0) {
    state.SkipWithError("could not make the reference's raw pictures (is ffmpeg installed?)");
    return;
  }
  std::vector<double> ratios;
  double ownPictures = 0;
  double ownSeconds = 0;
  for (auto _ : state) {
    // Each side starts without the file it writes, so neither pays for freeing the last run's.
    std::filesystem::remove(kWorkDir + "/ours-CH1" + setup.extension);
    std::filesystem::remove(kWorkDir + "/ffmpeg" + setup.extension);
    const ExportRun ours = exportRecording(setup);
    const double reference = ffmpegSeconds(raw, codecArguments, setup.extension);
    if (ours.pictures != raw.count || reference <= 0) {
      state.SkipWithError("an export or the ffmpeg run failed");
      return;
    }
    state.SetIterationTime(ours.seconds);
    ownPictures += static_cast<double>(ours.pictures);
    ownSeconds += ours.seconds;
    ratios.push_back((static_cast<double>(ours.pictures) / ours.seconds) /
                     (static_cast<double>(raw.count) / reference));
  }
  std::sort(ratios.begin(), ratios.end());
  state.counters["pictures_per_s"] = ownPictures / ownSeconds;
  state.counters["vs_ffmpeg_median"] = ratios[ratios.size() / 2];
  state.counters["vs_ffmpeg_min"] = ratios.front();
  state.counters["vs_ffmpeg_max"] = ratios.back();
}

void BM_ExportUncompressed(benchmark::State& state) { exportAgainstFfmpeg(state, {}, "-c:v rawvideo -pix_fmt bgr24"); }
void BM_ExportMjpeg(benchmark::State& state) {
  exportAgainstFfmpeg(state, {marlin::VideoCodec::Mjpeg}, "-c:v mjpeg -pix_fmt yuvj420p -g 30");
}
// The working copy's settings: x264's veryfast preset, its default rate factor, a key frame a second, no B-frames.
void BM_ExportH264(benchmark::State& state) {
  exportAgainstFfmpeg(state, {marlin::VideoCodec::H264, ".mp4"},
                      "-c:v libx264 -preset veryfast -crf 23 -g 30 -bf 0 -pix_fmt yuv420p");
}

// Four cameras into four H.264 files on two writing threads, against one.
void BM_ExportFourChannelsOnTwoThreads(benchmark::State& state) {
  std::vector<double> ratios;
  for (auto _ : state) {
    const ExportRun one = exportRecording({marlin::VideoCodec::H264, ".mp4", 4, 1});
    const ExportRun two = exportRecording({marlin::VideoCodec::H264, ".mp4", 4, 2});
    if (one.pictures == 0 || two.pictures != one.pictures) {
      state.SkipWithError("an export failed");
      return;
    }
    state.SetIterationTime(two.seconds);
    ratios.push_back(one.seconds / two.seconds);
  }
  std::sort(ratios.begin(), ratios.end());
  state.counters["vs_one_thread_median"] = ratios[ratios.size() / 2];
  state.counters["vs_one_thread_min"] = ratios.front();
  state.counters["vs_one_thread_max"] = ratios.back();
}

BENCHMARK(BM_ExportUncompressed)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(9);
BENCHMARK(BM_ExportMjpeg)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(9);
BENCHMARK(BM_ExportH264)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(9);
BENCHMARK(BM_ExportFourChannelsOnTwoThreads)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(7);

}  // namespace

BENCHMARK_MAIN();
