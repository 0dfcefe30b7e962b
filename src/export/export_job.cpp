#include "export/export_job.h"

#include <filesystem>

#include "codec/audio_convert.h"

namespace marlin {

ExportJob::ExportJob() = default;

ExportJob::~ExportJob() { stop(); }

void ExportJob::configure(CodecVariant videoCodecIndex, int audioFormatIndex, std::uint32_t sampleRate) {
  videoCodecIndex_ = videoCodecIndex;
  audioFormatIndex_ = audioFormatIndex;
  sampleRate_ = sampleRate;
  done_ = false;
}

void ExportJob::configureForRecorder(CodecVariant variant) {
  configure(variant, recordsALawAudio(variant) ? kAudioALaw : kAudioUnsigned8, 8000);
}

void ExportJob::setRange(std::uint64_t start, std::uint64_t end) {
  rangeStart_ = start;
  rangeEnd_ = end;
}

Status ExportJob::openInput(const std::string& path, bool isDisk) {
  source_.close();
  return source_.open(path, isDisk);
}

int ExportJob::start() {
  done_ = false;
  return WorkerThread::start(0);
}

void ExportJob::destroy() {
  stop();
  closeFiles();
  source_.close();
}

std::vector<ChannelExportResult> ExportJob::results() const {
  std::vector<ChannelExportResult> made;
  for (const ChannelExportResult& channel : channels_) {
    if (!channel.path.empty()) made.push_back(channel);
  }
  return made;
}

void ExportJob::stopChannel(int channel) {
  channels_[static_cast<std::size_t>(channel)].failure = writers_[static_cast<std::size_t>(channel)].lastFailure();
  // Finished with what it holds, the file still plays.
  finishChannel(channel);
}

void ExportJob::finishChannel(int channel) {
  AviWriter& writer = writers_[static_cast<std::size_t>(channel)];
  ChannelExportResult& result = channels_[static_cast<std::size_t>(channel)];
  if (!writer.isOpen()) return;
  writer.close();
  // Finishing can fail as well: a disk that fills up with the index.
  if (result.failure && !writer.lastFailure()) result.failure = writer.lastFailure();
  if (!writer.holdsAPicture()) {
    // Players refuse a file without a picture, so it goes, as the capture's does; the result says why.
    std::error_code ignored;
    std::filesystem::remove(result.path, ignored);
    const Status why = result.failure ? Status::failure(StatusCode::IoError, "no picture was written") : result.failure;
    result.failure = Status::failure(why.code(), why.message() + "; the file is removed", why.systemError());
    result.framesWritten = 0;
    result.fileBytes = 0;
    return;
  }
  std::error_code unknown;
  const std::uintmax_t bytes = std::filesystem::file_size(result.path, unknown);
  result.fileBytes = unknown ? 0 : bytes;
}

void ExportJob::closeFiles() {
  for (int channel = 0; channel < kChannels; ++channel) finishChannel(channel);
}

}  // namespace marlin
