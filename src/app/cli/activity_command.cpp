#include <atomic>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <sstream>

#include "activity/activity_events.h"
#include "activity/index_cache.h"
#include "app/cli/activity_report.h"
#include "app/cli/cli_support.h"
#include "app/cli/commands.h"
#include "app/cli/progress_line.h"
#include "app/cli/range_bound.h"
#include "app/cli/recording_args.h"
#include "app/cli/stop_on_signals.h"
#include "engine/json_text.h"
#include "platform/block_file.h"

namespace marlin::cli {

namespace {

struct Options {
  RecordingArgs recording;
  std::vector<int> channels;
  std::string region;
  std::string from;
  std::string to;
  int sensitivity = 5;
  std::uint32_t minLength = 1;
  std::uint32_t mergeGap = 2;
  unsigned threads = 0;
  bool noCache = false;
  bool json = false;
};

// X,Y,W,H in the recorded picture's pixels.
activity::Region parseRegion(const std::string& text) {
  activity::Region region;
  char comma[3] = {};
  std::istringstream in(text);
  in >> region.x >> comma[0] >> region.y >> comma[1] >> region.width >> comma[2] >> region.height;
  const bool read = in && in.peek() == EOF && comma[0] == ',' && comma[1] == ',' && comma[2] == ',';
  if (!read || region.x < 0 || region.y < 0 || region.width <= 0 || region.height <= 0 ||
      region.x + region.width > 640 || region.y + region.height > 272) {
    throw CommandError("--region " + text + ": give X,Y,W,H inside the 640-pixel-wide picture, such as 320,64,160,96",
                       kUsageExit);
  }
  return region;
}

const char* originName(activity::IndexOrigin origin) {
  switch (origin) {
    case activity::IndexOrigin::Cached:
      return "cached";
    case activity::IndexOrigin::Grown:
      return "grown";
    case activity::IndexOrigin::Built:
      break;
  }
  return "built";
}

void runActivity(const Options& options) {
  activity::EventQuery query;
  if (!options.channels.empty()) {
    query.channels = 0;
    for (const int channel : options.channels) {
      query.channels = static_cast<std::uint16_t>(query.channels | 1u << (channel - 1));
    }
  }
  if (!options.region.empty()) {
    query.region = parseRegion(options.region);
  }
  query.sensitivity = options.sensitivity;
  query.minLength = options.minLength;
  query.mergeGap = options.mergeGap;
  std::uint64_t size = 0;
  if (const Status sized = querySizeOfPath(options.recording.path, size); !sized) {
    throw openFailureError(sized);
  }
  const ByteRange range = resolveByteRange(options.from, options.to, options.recording, size);
  query.fromPosition = range.start;
  query.toPosition = range.end;

  std::atomic<bool> stop{false};
  StopOnSignals interrupt([&stop] { stop = true; });
  ProgressLine progress("indexing", WhenNotTerminal::PlainLines);
  auto lastLine = std::chrono::steady_clock::time_point{};
  activity::BuildOptions build;
  build.threads = options.threads;
  build.stop = &stop;
  build.progress = [&](std::uint64_t done, std::uint64_t total) {
    progress.update(done, total);
    const auto now = std::chrono::steady_clock::now();
    if (options.json && (now - lastLine >= std::chrono::seconds(1) || done == total)) {
      lastLine = now;
      std::printf("{\"event\":\"progress\",\"done\":%" PRIu64 ",\"total\":%" PRIu64 "}\n", done, total);
      std::fflush(stdout);
    }
  };
  const auto began = std::chrono::steady_clock::now();
  activity::IndexLoad load;
  const RecordingReading reading{options.recording.isDisk ? BlockByteOrder::Disk : BlockByteOrder::File,
                                 options.recording.variant};
  const Status loaded = activity::loadOrBuildIndex(
      options.recording.path, reading, build, options.noCache ? std::string() : activity::indexCacheFolder(), load);
  progress.finish();
  if (interrupt.requested()) {
    throw CommandError("interrupted: nothing was indexed", kInterruptedExit);
  }
  if (!loaded) {
    throw CommandError(loaded.message());
  }
  if (!load.cacheNote.empty()) {
    std::fprintf(stderr, "marlin: %s\n", load.cacheNote.c_str());
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
  const std::vector<activity::ActivityEvent> events = activity::findEvents(load.index, query);
  if (options.json) {
    for (const activity::ActivityEvent& event : events) {
      std::printf("%s\n", activityEventLine(event).c_str());
    }
    std::printf("{\"event\":\"summary\",\"events\":%zu,\"pictures\":%" PRIu64
                ",\"seconds\":%.3f,\"index\":\"%s\",\"from_cache\":%s}\n",
                events.size(), load.index.pictures, seconds, originName(load.origin),
                load.origin == activity::IndexOrigin::Built ? "false" : "true");
  } else {
    std::fputs(activityTable(events).c_str(), stdout);
    std::fputs("\n", stdout);
    std::fputs(activityBars(load.index, query).c_str(), stdout);
    std::printf("%zu event%s; %" PRIu64 " pictures indexed in %.2f s (index %s)\n", events.size(),
                events.size() == 1 ? "" : "s", load.index.pictures, seconds, originName(load.origin));
  }
  std::fflush(stdout);
}

}  // namespace

void addActivityCommand(CLI::App& app) {
  auto options = std::make_shared<Options>();
  CLI::App* command = app.add_subcommand(
      "activity", "List when and where each camera saw activity, from an index of the recording's coded pictures");
  addRecordingArgs(*command, options->recording);
  command->add_option("--channels", options->channels, "cameras to search, 1-16 (default: all)")
      ->delimiter(',')
      ->check(CLI::Range(1, 16));
  command->add_option("--region", options->region,
                      "X,Y,W,H: count only changes in this rectangle of the picture (pixels of the 640-wide "
                      "recorded picture, as decode writes it)");
  command->add_option("--from", options->from, "start: a byte position or a local time \"2010-01-01 12:00:05\"");
  command->add_option("--to", options->to, "end (exclusive): a byte position or a local time");
  command->add_option("--sensitivity", options->sensitivity, "1 (only large changes) to 10 (the smallest); default 5")
      ->check(CLI::Range(1, 10));
  command->add_option("--min-length", options->minLength, "shortest event in seconds (default 1)")
      ->check(CLI::Range(1, 86400));
  command->add_option("--merge-gap", options->mergeGap, "quiet seconds that still join two stretches (default 2)")
      ->check(CLI::Range(0, 3600));
  command->add_option("--threads", options->threads, "workers reading the recording (default: one per core)")
      ->check(CLI::Range(1, 256));
  command->add_flag("--no-cache", options->noCache,
                    "read the whole recording, without the kept index (under $XDG_CACHE_HOME/marlin-viewer/index), "
                    "and keep none");
  command->add_flag("--json", options->json, "print JSON lines (progress, one per event, summary) instead of a table");
  command->callback([options] { runActivity(*options); });
}

}  // namespace marlin::cli
