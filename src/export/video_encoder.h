#pragma once

#include <cstdint>
#include <memory>

#include "base/status.h"
#include "export/avi_formats.h"
#include "export/compression.h"
#include "export/ffmpeg_encoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

struct SwsContext;

namespace marlin {

// Compresses bottom-up 24-bit images with one FFmpeg encoder: converts each
// image to the encoder's pixel format and hands on the packets that come out.
class CompressedVideoEncoder {
 public:
  // frameTimeBase is one frame's duration (scale / rate). globalHeader: the
  // container keeps the codec's set-up out of the packets (MP4, Matroska).
  static Status open(const Compression& compression, const AviVideoFormat& format, AVRational frameTimeBase,
                     bool globalHeader, std::unique_ptr<CompressedVideoEncoder>& encoder);
  ~CompressedVideoEncoder();
  CompressedVideoEncoder(const CompressedVideoEncoder&) = delete;
  CompressedVideoEncoder& operator=(const CompressedVideoEncoder&) = delete;

  Status describeStream(AVCodecParameters* parameters) const;
  // The time base of the packets' time stamps.
  AVRational timeBase() const;

  // image: rows of dibRowBytes(width, 24) bytes, the bottom row first.
  Status encode(const std::uint8_t* image, std::int64_t frameIndex, const PacketSink& sink);
  // Drains the frames the encoder still holds.
  Status finish(const PacketSink& sink);

 private:
  CompressedVideoEncoder() = default;

  std::unique_ptr<FfmpegEncoder> encoder_;
  // Null for full-range 4:2:0, which bgr24ToFullRangeYuv420 makes.
  SwsContext* converter_ = nullptr;
  AVRational frameTimeBase_{1, 1};
};

}  // namespace marlin
