#include <algorithm>
#include <atomic>
#include <cinttypes>
#include <cstdio>
#include <map>
#include <thread>

#include "app/cli/avi_capture_args.h"
#include "app/cli/commands.h"
#include "app/cli/progress_line.h"
#include "app/cli/range_bound.h"
#include "app/cli/recording_args.h"
#include "app/cli/stop_on_signals.h"
#include "engine/evidence_export.h"
#include "export/compression_choice.h"
#include "export/container.h"
#include "export/export_job.h"
#include "platform/block_file.h"

namespace marlin::cli {

namespace {

struct Options {
  RecordingArgs recording;
  std::string output;
  std::vector<int> channels;
  bool noAudio = false;
  std::string codec;
  int quality = -1;
  std::string from;
  std::string to;
  bool noStamp = false;
  bool events = false;
  unsigned threads = 0;
  std::string evidence;
  std::string signingKey;
};

// Uncompressed bitmaps fit AVI only; MP4 and Matroska get H.264 unless asked otherwise.
Compression chosenCompression(const Options& options, const std::string& output) {
  Compression compression;
  if (!options.codec.empty()) {
    compression.codec = videoCodecNames().at(options.codec);
  } else if (containerOf(output) != Container::Avi) {
    compression.codec = VideoCodec::H264;
  }
  compression.quality = options.quality;
  // A key frame a second: a player seeks to any second at once, and the
  // still scenes between cost little.
  compression.keyFrameInterval = 0;
  return compression;
}

std::uint16_t channelMask(const std::vector<int>& channels) {
  if (channels.empty()) return 0xFFFF;
  std::uint16_t mask = 0;
  for (const int channel : channels) mask = static_cast<std::uint16_t>(mask | 1u << (channel - 1));
  return mask;
}

std::string progressDetail(std::uint64_t pictures, double seconds, double fraction) {
  const double fps = seconds > 0 ? static_cast<double>(pictures) / seconds : 0.0;
  const double left = fraction > 0.001 ? seconds * (1 - fraction) / fraction : 0.0;
  char text[96];
  std::snprintf(text, sizeof text, "%" PRIu64 " frames  %.1f fps  ETA %d:%02d", pictures, fps,
                static_cast<int>(left) / 60, static_cast<int>(left) % 60);
  return text;
}

void printResult(const ChannelExportResult& result, bool events) {
  if (events) {
    std::printf("{\"event\":\"file\",\"channel\":%d,\"path\":%s,\"frames\":%" PRIu64
                ",\"seconds\":%.3f,\"timing\":\"%s\",\"bytes\":%" PRIu64 ",\"failure\":%s}\n",
                result.channel + 1, jsonString(result.path).c_str(), result.framesWritten, result.seconds(),
                fileTimingName(result.timing), result.fileBytes, jsonString(result.failure.message()).c_str());
    return;
  }
  std::printf("CH%-2d %s  %" PRIu64 " frames  %.1f s (%s)  %" PRIu64 " bytes%s\n", result.channel + 1,
              result.path.c_str(), result.framesWritten, result.seconds(), fileTimingName(result.timing),
              result.fileBytes, result.failure ? "" : ("  FAILED: " + result.failure.message()).c_str());
}

void runExport(const Options& options) {
  const std::string output = videoOutputName(options.output);
  // Ctrl-C stops the writing between two pictures, so every file is finished and plays up to there.
  const StopOnSignals interrupt([] {});
  ExportJob job;
  // The job's writers reset the process-wide choice as they are made, so it is set after them.
  compression_choice::set(chosenCompression(options, output));
  job.configureForRecorder(options.recording.variant);
  job.setChannelMask(channelMask(options.channels));
  job.setAudioSelected(!options.noAudio);
  job.setStamping(!options.noStamp);
  job.setThreads(options.threads);
  if (const Status opened = job.openInput(options.recording.path, options.recording.isDisk); !opened) {
    throw openFailureError(opened);
  }
  const ByteRange range = resolveByteRange(options.from, options.to, options.recording, job.total());
  job.setRange(range.start, range.end);
  if (const Status prepared = job.prepare(output); !prepared) {
    throw CommandError("cannot export " + options.recording.path + ": " + prepared.message());
  }
  const auto started = std::chrono::steady_clock::now();
  job.start();
  {
    ProgressLine progress("exporting", WhenNotTerminal::PlainLines);
    for (int tick = 1; !job.done() && !interrupt.requested(); ++tick) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      if (options.events && tick % 5 == 0) {
        std::printf("{\"event\":\"progress\",\"position\":%" PRIu64 ",\"frames\":%" PRIu64 "}\n", job.position(),
                    job.picturesWritten());
        std::fflush(stdout);
      }
      const std::uint64_t done = std::clamp(job.position(), range.start, range.end) - range.start;
      const std::uint64_t length = range.end - range.start;
      const double fraction = static_cast<double>(done) / static_cast<double>(length);
      const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
      progress.update(done, length, progressDetail(job.picturesWritten(), seconds, fraction));
    }
  }
  job.stop();
  bool failed = false;
  std::uint16_t made = 0;
  for (const ChannelExportResult& result : job.results()) {
    printResult(result, options.events);
    failed = failed || !result.failure;
    made = static_cast<std::uint16_t>(made | 1u << result.channel);
  }
  for (const int channel : options.channels) {
    if ((made >> (channel - 1) & 1) == 0) {
      std::fprintf(stderr, "marlin: channel %d has no pictures in the range exported: no file\n", channel);
    }
  }
  if (options.events) {
    std::printf("{\"event\":\"done\",\"damagedStretches\":%" PRIu64 "}\n", job.damagedStretches());
  } else {
    std::printf("damaged stretches skipped: %" PRIu64 "\n", job.damagedStretches());
  }
  std::fflush(stdout);
  if (interrupt.requested()) {
    throw CommandError("interrupted: the files hold what was exported until then", kInterruptedExit);
  }
  if (failed) throw CommandError("some files stopped early; see above");
}

const char* stageName(EvidenceStage stage) {
  switch (stage) {
    case EvidenceStage::Copying:
      return "copying the blocks";
    case EvidenceStage::Exporting:
      return "working copies";
    case EvidenceStage::Hashing:
      return "hashing";
    case EvidenceStage::Signing:
      break;
  }
  return "signing";
}

// The evidence folder: the original blocks, a working copy per channel, the manifest and its hashes.
void runEvidence(const Options& options) {
  std::atomic<bool> stop{false};
  const StopOnSignals interrupt([&stop] { stop = true; });
  EvidenceRequest request;
  request.recordingPath = options.recording.path;
  request.isDisk = options.recording.isDisk;
  request.variant = options.recording.variant;
  request.folder = options.evidence;
  request.channelMask = channelMask(options.channels);
  request.signingKey = options.signingKey;
  request.threads = options.threads;
  request.quality = options.quality;
  {
    BlockFile file;
    if (const Status opened = file.open(options.recording.path); !opened) throw openFailureError(opened);
    std::uint64_t size = 0;
    if (const Status sized = file.querySize(size); !sized) throw openFailureError(sized);
    const ByteRange range = resolveByteRange(options.from, options.to, options.recording, size);
    request.start = range.start;
    request.end = range.end;
  }
  EvidenceFolder made;
  Status result;
  {
    ProgressLine progress("evidence", WhenNotTerminal::PlainLines);
    EvidenceStage shown = EvidenceStage::Copying;
    result = makeEvidenceFolder(
        request,
        [&](const EvidenceProgress& step) {
          if (options.events && step.stage != shown) {
            std::printf("{\"event\":\"progress\",\"stage\":\"%s\"}\n", stageName(step.stage));
            std::fflush(stdout);
          }
          shown = step.stage;
          progress.update(step.done, step.total, stageName(step.stage));
        },
        stop, made);
  }
  if (!result) {
    if (interrupt.requested()) throw CommandError("interrupted: nothing is kept", kInterruptedExit);
    throw CommandError("cannot make evidence of " + options.recording.path + ": " + result.message());
  }
  for (const ChannelExportResult& copy : made.copies) printResult(copy, options.events);
  if (options.events) {
    std::printf("{\"event\":\"evidence\",\"folder\":%s,\"start\":%" PRIu64 ",\"end\":%" PRIu64
                ",\"files\":%zu,\"signed\":%s}\n",
                jsonString(options.evidence).c_str(), made.exportedStart, made.exportedEnd, made.digests.size(),
                options.signingKey.empty() ? "false" : "true");
  } else {
    std::printf("evidence in %s: bytes %" PRIu64 "..%" PRIu64 ", %zu files hashed in SHA256SUMS%s\n",
                options.evidence.c_str(), made.exportedStart, made.exportedEnd, made.digests.size(),
                options.signingKey.empty() ? "" : ", manifest signed");
  }
}

}  // namespace

void addExportCommand(CLI::App& app) {
  auto options = std::make_shared<Options>();
  CLI::App* command = app.add_subcommand(
      "export", "Export each channel's pictures and the sound into its own file: OUT-CH1.avi, OUT-CH2.avi, ...");
  addRecordingArgs(*command, options->recording);
  CLI::Option* output = command->add_option(
      "output", options->output,
      "output name; the container follows its extension: .avi, .mkv or .mp4 (.avi added to a name without one)");
  CLI::Option* evidence = command->add_option(
      "--evidence", options->evidence,
      "make an evidence folder instead (new or empty): original.QKV, CH<n>.mp4 working copies, manifest.json, "
      "SHA256SUMS");
  evidence->excludes(output);
  command->add_option("--sign", options->signingKey, "with --evidence: sign manifest.json with this Ed25519 key (PEM)")
      ->needs(evidence)
      ->check(CLI::ExistingFile);
  command->add_option("--channels", options->channels, "channels to export, 1-16 (default: every one with pictures)")
      ->delimiter(',')
      ->check(CLI::Range(1, 16));
  command->add_flag("--no-audio", options->noAudio, "leave the sound out");
  command->add_option("--codec", options->codec, "video codec (default: raw for .avi, h264 for .mkv and .mp4)")
      ->check(CLI::IsMember(videoCodecNames()));
  command->add_option("--quality", options->quality, "0 (smallest) to 10000 (best); the encoder's default if left out")
      ->check(CLI::Range(0, 10000));
  command->add_option("--from", options->from, "start: a byte position or a local time \"2010-01-01 12:00:05\"");
  command->add_option("--to", options->to, "end (exclusive, after the start): a byte position or a local time");
  command->add_flag("--no-stamp", options->noStamp, "leave the time stamp off the pictures");
  command->add_option("--threads", options->threads, "files written at once (default: one per core)")
      ->check(CLI::Range(1, 64));
  command->add_flag("--events", options->events,
                    "print JSON lines (progress, one per file, done) instead of the summary");
  command->callback([options, output, evidence] {
    if (output->count() == 0 && evidence->count() == 0) {
      throw CLI::RequiredError("an output name or --evidence DIR");
    }
    if (evidence->count() != 0) {
      runEvidence(*options);
    } else {
      runExport(*options);
    }
  });
}

}  // namespace marlin::cli
