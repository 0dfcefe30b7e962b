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
  // frameTimeBase: the unit of the frames' times (one frame's duration at
  // a constant rate, a millisecond for pictures timed by their blocks);
  // frameRate: the pictures a second, about, which sets the rate control's
  // pace and the key frame distance. globalHeader: the container keeps the
  // codec's set-up out of the packets (MP4, Matroska). Each encoder works on
  // one thread: files are encoded side by side instead, and the same
  // pictures make the same bytes however many files are made at once.
  static Status open(const Compression& compression, const AviVideoFormat& format, AVRational frameTimeBase,
                     AVRational frameRate, bool globalHeader, std::unique_ptr<CompressedVideoEncoder>& encoder);
  ~CompressedVideoEncoder();
  CompressedVideoEncoder(const CompressedVideoEncoder&) = delete;
  CompressedVideoEncoder& operator=(const CompressedVideoEncoder&) = delete;

  Status describeStream(AVCodecParameters* parameters) const;
  // The time base of the packets' time stamps.
  AVRational timeBase() const;

  // image: rows of dibRowBytes(width, 24) bytes, the bottom row first; at:
  // its time in frameTimeBase units.
  Status encode(const std::uint8_t* image, std::int64_t at, const PacketSink& sink);
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
