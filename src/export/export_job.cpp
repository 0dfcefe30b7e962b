#include "export/export_job.h"

#include <filesystem>

#include "codec/audio_convert.h"
#include "render/text_painter_choice.h"

namespace marlin {

ExportJob::ExportJob() : painter_(makeTextPainter()) {}

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
  std::error_code unknown;
  const std::uintmax_t bytes = std::filesystem::file_size(result.path, unknown);
  result.fileBytes = unknown ? 0 : bytes;
}

void ExportJob::closeFiles() {
  for (int channel = 0; channel < kChannels; ++channel) finishChannel(channel);
}

}  // namespace marlin
