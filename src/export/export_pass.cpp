// The writing pass, on the job's worker thread.
#include <array>
#include <chrono>
#include <cstdio>
#include <string_view>
#include <vector>

#include "codec/audio_convert.h"
#include "export/export_job.h"
#include "export/full_height_picture.h"
#include "platform/thread_priority.h"
#include "render/time_stamp.h"
#include "source/frame_range_reader.h"

namespace marlin {

namespace {

constexpr int kLargestWidth = 640;
constexpr int kLargestFieldHeight = 272;
constexpr auto kPreviewInterval = std::chrono::milliseconds(40);

// Room for every value the fields can hold.
using StampText = std::array<char, 48>;

std::string_view formatStamp(const CalendarTime& time, StampText& text) {
  const int length = std::snprintf(text.data(), text.size(), "%02d/%02d/%02d %02d:%02d:%02d", time.year, time.month,
                                   time.day, time.hour, time.minute, time.second);
  return {text.data(), static_cast<std::size_t>(length)};
}

}  // namespace

// Every buffer the pass needs, made once before its first frame.
struct ExportJob::Buffers {
  std::vector<std::uint8_t> frame = std::vector<std::uint8_t>(container::kFrameBufferSize);
  // Expanded companded sound takes two bytes a sample.
  std::vector<std::uint8_t> sound = std::vector<std::uint8_t>(2 * container::kFrameBufferSize);
  // Conditional pictures update the channel's last one in place.
  std::vector<std::vector<std::uint8_t>> decoded =
      std::vector<std::vector<std::uint8_t>>(kChannels, std::vector<std::uint8_t>(VideoDecoder::kMaxPictureBytes));
  std::vector<std::uint8_t> picture =
      std::vector<std::uint8_t>(dibImageBytes(kLargestWidth, 2 * kLargestFieldHeight, 24));
  StampText stamp{};
  std::array<std::int64_t, kChannels> nextFrame{};
  std::chrono::steady_clock::time_point lastPreview{};
};

int ExportJob::run() {
  // Export runs flat out; the lower priority keeps playback and the desktop smooth meanwhile.
  lowerCurrentThreadPriority();
  Buffers buffers;
  FrameRangeReader reader(source_, rangeStart_, rangeEnd_);
  while (!stopRequested()) {
    const std::uint32_t length = reader.next(buffers.frame.data());
    damagedStretches_ = reader.damagedStretches();
    if (length == 0) break;
    const FrameHeader& header = source_.header();
    if (header.isAudio) {
      if (audioSelected_) writeSound(header.channel, buffers.frame.data(), length, buffers);
    } else if (decoder_.ParseHeader(buffers.frame.data(), length) != 0) {
      writePicture(decoder_.GetChannel(), buffers.frame.data(), length, header.blockTime, buffers);
    }
  }
  closeFiles();
  done_ = true;
  return 1;
}

void ExportJob::writeSound(std::uint32_t soundChannel, const std::uint8_t* data, std::uint32_t length,
                           Buffers& buffers) {
  if (convertAudio_) {
    length = convertAudioToPcm(audioFormatIndex_, data, length, buffers.sound.data());
    data = buffers.sound.data();
  }
  for (int channel = 0; channel < kChannels; ++channel) {
    const auto at = static_cast<std::size_t>(channel);
    if (!writers_[at].isOpen() || soundOf_[at] != soundChannel) continue;
    if (writers_[at].writeAudio(data, length) == 0) stopChannel(channel);
  }
}

void ExportJob::writePicture(int channel, const std::uint8_t* frame, std::uint32_t length, const CalendarTime& time,
                             Buffers& buffers) {
  if (channel < 0 || channel >= kChannels || (channelMask_ >> channel & 1) == 0) return;
  const auto at = static_cast<std::size_t>(channel);
  AviWriter& writer = writers_[at];
  const int width = decoder_.GetWidth();
  const int fieldHeight = decoder_.GetHeight();
  // A file keeps the size of its channel's first picture; others cannot go in.
  if (!writer.isOpen() || width != writer.videoFormat().width || 2 * fieldHeight != writer.videoFormat().height ||
      width > kLargestWidth || fieldHeight > kLargestFieldHeight) {
    return;
  }
  std::uint8_t* decoded = buffers.decoded[at].data();
  if (decoder_.Decode(frame, length, decoded) != 1) return;
  std::uint8_t* picture = buffers.picture.data();
  fieldToFullHeight(decoded, width, fieldHeight, picture);
  if (stamping_) {
    stampBottomUpBgr24(picture, width, 2 * fieldHeight, dibRowBytes(width, 24), formatStamp(time, buffers.stamp),
                       *painter_);
  }
  if (preview_ != nullptr) {
    const auto now = std::chrono::steady_clock::now();
    if (now - buffers.lastPreview >= kPreviewInterval) {
      buffers.lastPreview = now;
      preview_->showExportedPicture(channel, picture, width, 2 * fieldHeight);
    }
  }
  if (writer.writeVideo(buffers.nextFrame[at], picture) == 0) {
    stopChannel(channel);
    return;
  }
  ++buffers.nextFrame[at];
  ++channels_[at].framesWritten;
  ++picturesWritten_;
}

}  // namespace marlin
