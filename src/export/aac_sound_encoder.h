#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "base/status.h"
#include "export/avi_formats.h"
#include "export/ffmpeg_encoder.h"

namespace marlin {

// Compresses the PCM or A-law sound an export writes into AAC, for MP4
// files, which cannot hold those: the samples are gathered into the
// encoder's frames of float samples, stamped by the samples before them.
class AacSoundEncoder {
 public:
  static Status open(const AviAudioFormat& format, std::unique_ptr<AacSoundEncoder>& encoder);
  ~AacSoundEncoder() = default;
  AacSoundEncoder(const AacSoundEncoder&) = delete;
  AacSoundEncoder& operator=(const AacSoundEncoder&) = delete;

  Status describeStream(AVCodecParameters* parameters) const;
  // The time base of the packets' time stamps: one sample.
  AVRational timeBase() const { return encoder_->context()->time_base; }
  // The encoder's lead-in, in samples: its first packet starts this far before 0.
  std::int64_t leadIn() const { return encoder_->context()->initial_padding; }

  // bytes of samples in the format opened with (whole samples only).
  Status encode(const std::uint8_t* data, std::uint32_t bytes, const PacketSink& sink);
  // Encodes the samples still gathered and drains the encoder.
  Status finish(const PacketSink& sink);

 private:
  AacSoundEncoder() = default;
  float sampleAt(const std::uint8_t* data, std::uint32_t index) const;
  Status sendFrame(const PacketSink& sink);

  AviAudioFormat format_;
  std::unique_ptr<FfmpegEncoder> encoder_;
  int gathered_ = 0;
  std::int64_t samplesSent_ = 0;
};

}  // namespace marlin
