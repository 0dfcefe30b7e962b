#include "engine/evidence_export.h"

#include <sys/stat.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <thread>

#include "base/calendar.h"
#include "evidence/ed25519.h"
#include "evidence/file_digests.h"
#include "evidence/folder_layout.h"
#include "evidence/json_value.h"
#include "evidence/json_writer.h"
#include "evidence/sha256.h"
#include "evidence/sha256sums.h"
#include "export/compression_choice.h"
#include "export/export_job.h"
#include "platform/block_devices.h"
#include "platform/block_file.h"
#include "platform/file_io.h"
#include "platform/task_pool.h"
#include "source/block_times.h"
#include "source/local_time.h"
#include "source/stream_source.h"

namespace marlin {

namespace {

namespace fs = std::filesystem;
using evidence::JsonValue;

constexpr const char* kClockNote =
    "Times are the recorder's block times, its local clock as it recorded them; how far that clock was from true "
    "time cannot be known from the recording.";

std::string inFolder(const std::string& folder, std::string_view name) { return (fs::path(folder) / name).string(); }

// The folder ready to fill: made (with its parents) or found empty.
Status prepareFolder(const std::string& folder, bool& created) {
  std::error_code error;
  created = false;
  if (fs::exists(folder, error)) {
    if (!fs::is_directory(folder, error))
      return Status::failure(StatusCode::InvalidArgument, folder + " is not a folder");
    if (!fs::is_empty(folder, error)) {
      return Status::failure(StatusCode::InvalidArgument, folder + " is not empty: evidence goes into a new folder");
    }
    return Status::ok();
  }
  if (!fs::create_directories(folder, error)) {
    return Status::failure(StatusCode::IoError, "cannot create " + folder + ": " + error.message());
  }
  created = true;
  return Status::ok();
}

// The time of the first valid block from `from` on (forward) or back (backward); nothing when none is.
std::optional<std::uint32_t> nearestBlockTime(BlockTimes& blocks, std::uint64_t from, std::uint64_t to, bool forward) {
  for (std::uint64_t step = 0; step < to - from; ++step) {
    const std::uint64_t index = forward ? from + step : to - 1 - step;
    if (const std::optional<std::uint32_t> time = blocks.timeOf(index)) return time;
  }
  return std::nullopt;
}

JsonValue timeValue(std::optional<std::uint32_t> time) {
  return time ? JsonValue::string(localTimeText(*time)) : JsonValue();
}

// A byte range with the times of its first and last valid blocks.
JsonValue rangeValue(BlockTimes& blocks, std::uint64_t start, std::uint64_t end) {
  const std::uint64_t first = start / container::kBlockSize;
  const std::uint64_t last = std::min(blocks.blockCount(), (end + container::kBlockSize - 1) / container::kBlockSize);
  JsonValue range = JsonValue::object();
  range.add("start", JsonValue::wholeNumber(start));
  range.add("end", JsonValue::wholeNumber(end));
  range.add("start_time", timeValue(nearestBlockTime(blocks, first, last, true)));
  range.add("end_time", timeValue(nearestBlockTime(blocks, first, last, false)));
  return range;
}

std::string utcText(std::time_t when, const char* format) {
  std::tm parts{};
  gmtime_r(&when, &parts);
  char text[64];
  return std::string(text, std::strftime(text, sizeof text, format, &parts));
}

std::string localText(std::time_t when) {
  std::tm parts{};
  localtime_r(&when, &parts);
  char text[64];
  return std::string(text, std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S %z", &parts));
}

JsonValue sourceValue(const EvidenceRequest& request, std::uint64_t size) {
  JsonValue source = JsonValue::object();
  source.add("path", JsonValue::string(fs::absolute(request.recordingPath).string()));
  source.add("kind", JsonValue::string(request.isDisk ? "disk" : "file"));
  source.add("size", JsonValue::wholeNumber(size));
  struct stat info {};
  if (request.isDisk && ::stat(request.recordingPath.c_str(), &info) == 0 && S_ISBLK(info.st_mode)) {
    const DiskDescription disk = describeDisk(info);
    source.add("model", JsonValue::string(disk.model));
    source.add("serial", JsonValue::string(disk.serial));
  }
  return source;
}

class EvidenceMaker {
 public:
  EvidenceMaker(const EvidenceRequest& request, const std::function<void(const EvidenceProgress&)>& progress,
                const std::atomic<bool>& stop, EvidenceFolder& made)
      : request_(request), progress_(progress), stop_(stop), made_(made) {}

  Status make() {
    if (Status opened = source_.open(request_.recordingPath, request_.isDisk); !opened) return opened;
    source_.setCodecVariant(request_.variant);
    if (Status opened = blockFile_.open(request_.recordingPath); !opened) return opened;
    const std::uint64_t size = source_.getSize();
    const std::uint64_t end = request_.end == 0 ? size : std::min(request_.end, size);
    if (request_.start >= end) return Status::failure(StatusCode::InvalidArgument, "the range is empty");
    report(EvidenceStage::Copying, 0, end - request_.start);
    // The copy's end is exclusive but must lie inside the recording.
    if (Status copied = source_.copyRange(request_.start, std::min(end, size - 1),
                                          inFolder(request_.folder, evidence::kOriginalName));
        !copied) {
      return copied;
    }
    made_.exportedStart = container::blockStartOf(request_.start);
    made_.exportedEnd =
        std::min(container::blockStartOf(end + container::kBlockSize - 1), container::blockStartOf(size));
    if (stop_) return stopped();
    if (Status exported = writeWorkingCopies(); !exported) return exported;
    if (stop_) return stopped();
    return writeManifest(size);
  }

 private:
  static Status stopped() { return Status::failure(StatusCode::Cancelled, "stopped"); }

  void report(EvidenceStage stage, std::uint64_t done, std::uint64_t total) {
    if (progress_) progress_({stage, done, total});
  }

  Status writeWorkingCopies() {
    // The working copies' settings are their own: the choice made for other exports is given back after.
    const Compression chosen = compression_choice::current();
    const Status written = writeWorkingCopiesWith();
    compression_choice::set(chosen);
    return written;
  }

  Status writeWorkingCopiesWith() {
    ExportJob job;
    Compression compression;
    compression.codec = VideoCodec::H264;
    compression.keyFrameInterval = 0;
    compression.quality = request_.quality;
    // The job's writers reset the process-wide choice as they are made, so it is set after them.
    compression_choice::set(compression);
    job.configureForRecorder(request_.variant);
    job.setChannelMask(request_.channelMask);
    job.setThreads(request_.threads);
    job.setChannelNaming(ChannelNaming::ChannelAlone);
    job.setTimeTrack(true);
    if (Status opened = job.openInput(request_.recordingPath, request_.isDisk); !opened) return opened;
    job.setRange(made_.exportedStart, made_.exportedEnd);
    RecordingBlockTimes blocks = blockTimes();
    if (const std::optional<std::uint32_t> first = nearestBlockTime(blocks, made_.exportedStart / container::kBlockSize,
                                                                    made_.exportedEnd / container::kBlockSize, true)) {
      job.setCreationTime(utcText(static_cast<std::time_t>(*first), "%Y-%m-%dT%H:%M:%S.000000Z"));
    }
    if (Status prepared = job.prepare(inFolder(request_.folder, "CH.mp4")); !prepared) return prepared;
    job.start();
    const std::uint64_t length = made_.exportedEnd - made_.exportedStart;
    while (!job.done()) {
      if (stop_) {
        job.stop();
        return stopped();
      }
      const std::uint64_t at = std::clamp(job.position(), made_.exportedStart, made_.exportedEnd);
      report(EvidenceStage::Exporting, at - made_.exportedStart, length);
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    job.stop();
    made_.copies = job.results();
    for (const ChannelExportResult& copy : made_.copies) {
      if (!copy.failure) {
        return Status::failure(copy.failure.code(),
                               "CH" + std::to_string(copy.channel + 1) + ".mp4: " + copy.failure.message());
      }
    }
    return Status::ok();
  }

  RecordingBlockTimes blockTimes() const {
    return RecordingBlockTimes(blockFile_, source_.getSize(),
                               BlockLayout{request_.isDisk, isBigEndianVariant(request_.variant)});
  }

  JsonValue fileValue(const std::string& name, const evidence::FileDigest& digest) const {
    JsonValue file = JsonValue::object();
    file.add("name", JsonValue::string(name));
    file.add("size", JsonValue::wholeNumber(digest.size));
    file.add("sha256", JsonValue::string(digest.sha256));
    if (name == evidence::kOriginalName) {
      file.add("blocks", JsonValue::wholeNumber(digest.size / container::kBlockSize));
      return file;
    }
    for (const ChannelExportResult& copy : made_.copies) {
      if (fs::path(copy.path).filename() != name) continue;
      file.add("channel", JsonValue::wholeNumber(static_cast<std::uint64_t>(copy.channel + 1)));
      file.add("pictures", JsonValue::wholeNumber(copy.framesWritten));
      file.add("duration", JsonValue::number(copy.seconds()));
      file.add("timing", JsonValue::string(fileTimingName(copy.timing)));
    }
    return file;
  }

  Status writeManifest(std::uint64_t size) {
    std::vector<std::string> names{std::string(evidence::kOriginalName)};
    for (const ChannelExportResult& copy : made_.copies) names.push_back(fs::path(copy.path).filename().string());
    std::vector<std::string> paths;
    for (const std::string& name : names) paths.push_back(inFolder(request_.folder, name));
    const std::vector<evidence::FileDigest> digests = evidence::digestFiles(
        paths, request_.threads,
        [this](std::uint64_t hashed, std::uint64_t total) { report(EvidenceStage::Hashing, hashed, total); });

    const std::time_t now = std::time(nullptr);
    JsonValue manifest = JsonValue::object();
    JsonValue tool = JsonValue::object();
    tool.add("name", JsonValue::string("marlin"));
    tool.add("version", JsonValue::string(MARLIN_VERSION));
    manifest.add("tool", std::move(tool));
    JsonValue when = JsonValue::object();
    when.add("utc", JsonValue::string(utcText(now, "%Y-%m-%dT%H:%M:%SZ")));
    when.add("local", JsonValue::string(localText(now)));
    manifest.add("made", std::move(when));
    manifest.add("source", sourceValue(request_, size));
    RecordingBlockTimes blocks = blockTimes();
    JsonValue recording = JsonValue::object();
    recording.add("variant", JsonValue::wholeNumber(static_cast<std::uint64_t>(request_.variant)));
    recording.add("first_block_time", timeValue(nearestBlockTime(blocks, 0, blocks.blockCount(), true)));
    recording.add("last_block_time", timeValue(nearestBlockTime(blocks, 0, blocks.blockCount(), false)));
    manifest.add("recording", std::move(recording));
    JsonValue range = JsonValue::object();
    range.add("asked", rangeValue(blocks, request_.start, request_.end == 0 ? size : request_.end));
    range.add("exported", rangeValue(blocks, made_.exportedStart, made_.exportedEnd));
    manifest.add("range", std::move(range));
    JsonValue channels = JsonValue::array();
    for (const ChannelExportResult& copy : made_.copies) {
      channels.push(JsonValue::wholeNumber(static_cast<std::uint64_t>(copy.channel + 1)));
    }
    manifest.add("channels", std::move(channels));
    manifest.add("clock", JsonValue::string(kClockNote));
    JsonValue files = JsonValue::array();
    std::vector<evidence::Sha256SumsEntry> sums;
    for (std::size_t i = 0; i < names.size(); ++i) {
      if (!digests[i].status) return digests[i].status;
      files.push(fileValue(names[i], digests[i]));
      sums.push_back({digests[i].sha256, names[i]});
    }
    manifest.add("files", std::move(files));

    const std::string text = evidence::writeJson(manifest);
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    if (Status written = writeNamed(evidence::kManifestName, bytes, sums); !written) return written;
    if (!request_.signingKey.empty()) {
      report(EvidenceStage::Signing, 0, 1);
      evidence::Ed25519Signature signature;
      if (Status signedIt = evidence::signEd25519(request_.signingKey, bytes, signature); !signedIt) return signedIt;
      const std::span<const std::uint8_t> key(reinterpret_cast<const std::uint8_t*>(signature.publicKeyPem.data()),
                                              signature.publicKeyPem.size());
      if (Status written = writeNamed(evidence::kPublicKeyName, key, sums); !written) return written;
      if (Status written = writeNamed(evidence::kSignatureName, signature.signature, sums); !written) return written;
    }
    std::string sumsText;
    if (Status listed = evidence::writeSha256Sums(sums, sumsText); !listed) return listed;
    for (const evidence::Sha256SumsEntry& entry : sums) made_.digests.emplace_back(entry.name, entry.sha256);
    return writeWholeFile(inFolder(request_.folder, evidence::kSumsName),
                          {std::span(reinterpret_cast<const std::uint8_t*>(sumsText.data()), sumsText.size())});
  }

  // Writes one of the folder's own files and lists it for SHA256SUMS.
  Status writeNamed(std::string_view name, std::span<const std::uint8_t> bytes,
                    std::vector<evidence::Sha256SumsEntry>& sums) {
    if (Status written = writeWholeFile(inFolder(request_.folder, name), {bytes}); !written) return written;
    sums.push_back({evidence::hexText(evidence::sha256Of(bytes)), std::string(name)});
    return Status::ok();
  }

  const EvidenceRequest& request_;
  const std::function<void(const EvidenceProgress&)>& progress_;
  const std::atomic<bool>& stop_;
  EvidenceFolder& made_;
  StreamSource source_;
  // The block times are read apart from the stream, with reads of their own.
  BlockFile blockFile_;
};

}  // namespace

Status makeEvidenceFolder(const EvidenceRequest& request, const std::function<void(const EvidenceProgress&)>& progress,
                          const std::atomic<bool>& stop, EvidenceFolder& made) {
  made = {};
  bool created = false;
  if (Status prepared = prepareFolder(request.folder, created); !prepared) return prepared;
  const Status result = EvidenceMaker(request, progress, stop, made).make();
  if (!result) {
    // Half a folder of evidence is no evidence: what was made goes.
    std::error_code ignored;
    if (created) {
      fs::remove_all(request.folder, ignored);
    } else {
      for (const fs::directory_entry& entry : fs::directory_iterator(request.folder, ignored)) {
        fs::remove_all(entry.path(), ignored);
      }
    }
  }
  return result;
}

}  // namespace marlin
