// The preparation pass: what the recording holds, and the files made for it.
#include <filesystem>
#include <vector>

#include "base/calendar.h"
#include "export/channel_output_path.h"
#include "export/container.h"
#include "export/export_job.h"
#include "export/export_sound_format.h"
#include "source/frame_range_reader.h"

namespace marlin {

struct ExportJob::Survey {
  std::array<std::uint64_t, kChannels> pictures{};
  // Seconds with at least one picture, per channel.
  std::array<std::uint64_t, kChannels> seconds{};
  SoundBytesPerChannel soundBytes{};
  std::array<AviVideoFormat, kChannels> formats{};
  std::array<StreamRate, kChannels> rates{};
};

ExportJob::Survey ExportJob::survey() {
  Survey found;
  std::vector<std::uint8_t> frame(container::kFrameBufferSize);
  std::array<std::optional<std::uint32_t>, kChannels> lastSecond{};
  bool originSet = false;
  FrameRangeReader reader(source_, rangeStart_, rangeEnd_);
  while (const std::uint32_t length = reader.next(frame.data())) {
    const FrameHeader& header = source_.header();
    if (header.isAudio) {
      hasAudio_ = true;
      if (header.channel < kSoundChannels) found.soundBytes[header.channel] += header.length;
      continue;
    }
    if (decoder_.ParseHeader(frame.data(), length) == 0) continue;
    const int channel = decoder_.GetChannel();
    if (channel < 0 || channel >= kChannels) continue;
    const auto at = static_cast<std::size_t>(channel);
    if ((channelMask_ >> channel & 1) != 0) {
      // As the writing pass reads them: a block time that names no time keeps the second of the picture before.
      const std::uint32_t second = timestampFromCalendar(header.blockTime, 0).value_or(lastSecond[at].value_or(0));
      if (lastSecond[at] != second) ++found.seconds[at];
      lastSecond[at] = second;
      clocks_[at].count(second);
      if (!originSet) origin_ = second;
      originSet = true;
    }
    // Each channel's file takes the size and rate of its first picture.
    if (found.pictures[at]++ == 0 && (channelMask_ >> channel & 1) != 0) {
      const int width = decoder_.GetWidth();
      const int height = 2 * decoder_.GetHeight();
      found.formats[at] = AviVideoFormat{width, height, 24, dibImageBytes(width, height, 24)};
      found.rates[at] =
          recordedVideoRate(decoder_.GetHeight(), videoCodecIndex_, header.frameInterval, header.channelMask);
    }
  }
  return found;
}

Status ExportJob::openChannelFiles(const std::string& outputPath, const Survey& found) {
  const ExportSoundFormat sound = exportSoundFormat(audioFormatIndex_, sampleRate_);
  convertAudio_ = sound.convert;
  // MP4 and Matroska show each picture at its block's time; AVI keeps a constant rate.
  const bool blockTimed = containerOf(outputPath) != Container::Avi;
  std::vector<std::string> created;
  for (int channel = 0; channel < kChannels; ++channel) {
    const auto at = static_cast<std::size_t>(channel);
    if (found.pictures[at] == 0 || (channelMask_ >> channel & 1) == 0) continue;
    const std::optional<std::uint32_t> ownSound = soundChannelOfCamera(channel, found.soundBytes);
    soundOf_[at] = audioSelected_ ? ownSound : std::nullopt;
    const bool withSound = soundOf_[at].has_value();
    ChannelExportResult& result = channels_[at];
    result.channel = channel;
    result.path = channelOutputPath(outputPath, channel + 1, naming_);
    // Paced by the camera's own sound, written or not; one without any by the recording's first sound channel.
    const std::uint64_t pacingSound = found.soundBytes[ownSound.value_or(0)];
    if (blockTimed) {
      result.timing = FileTiming::BlockTime;
      result.rate = found.seconds[at] != 0 && found.pictures[at] <= UINT32_MAX && found.seconds[at] <= UINT32_MAX
                        ? StreamRate{static_cast<std::uint32_t>(found.pictures[at]),
                                     static_cast<std::uint32_t>(found.seconds[at])}
                        : found.rates[at];
    } else if (hasAudio_) {
      result.timing = FileTiming::SoundPaced;
      result.rate = soundPacedRate(found.pictures[at], pacingSound, sampleRate_, found.rates[at]);
    } else {
      result.timing = FileTiming::DeclaredRate;
      result.rate = found.rates[at];
    }
    AviWriter& writer = writers_[at];
    const bool opened = writer.open(result.path) == 1;
    if (opened) {
      created.push_back(result.path);
      if (blockTimed) {
        writer.setPictureTiming(PictureTiming::Milliseconds);
        writer.setCreationTime(creationTime_);
        if (timeTrack_) writer.addTimeTrack();
      }
    }
    if (!opened || writer.createStreams(result.rate.rate, result.rate.scale, &found.formats[at],
                                        withSound ? &sound.format : nullptr) == 0) {
      const Status why = writer.lastFailure();
      // A half-made export is no export: the files made so far go again.
      closeFiles();
      for (const std::string& path : created) {
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
      }
      const std::string failedPath = result.path;
      channels_ = {};
      return Status::failure(why.code(),
                             "channel " + std::to_string(channel + 1) + " (" + failedPath + "): " + why.message());
    }
  }
  if (created.empty()) {
    return Status::failure(StatusCode::NotFound, "none of the chosen channels has pictures in the range exported");
  }
  return Status::ok();
}

Status ExportJob::prepare(const std::string& outputPath) {
  if (hasThread()) {
    if (!done()) return Status::failure(StatusCode::Busy, "an export is still running");
    WorkerThread::stop();
  }
  if (!source_.isOpen()) return Status::failure(StatusCode::InvalidArgument, "no recording is open to export");
  const std::string named = withDefaultExtension(outputPath);
  if (!containerOf(named)) return unknownContainer(named);
  closeFiles();
  channels_ = {};
  soundOf_ = {};
  clocks_ = {};
  origin_ = 0;
  hasAudio_ = false;
  picturesWritten_ = 0;
  damagedStretches_ = 0;
  source_.setCodecVariant(videoCodecIndex_);
  decoder_.Init(videoCodecIndex_);
  const Survey found = survey();
  // Back to the range's start, so that position() shows the writing pass's progress from its beginning.
  source_.setPosition(rangeStart_);
  return openChannelFiles(named, found);
}

}  // namespace marlin
