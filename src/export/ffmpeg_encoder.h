#pragma once

#include <functional>
#include <string>

#include "base/status.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace marlin {

// Takes each packet an encoder gives out; the packet is unreferenced after.
using PacketSink = std::function<Status(AVPacket* packet)>;

// One FFmpeg encoder with the frame it is fed and the packet it gives out:
// what the writer's video and sound encoders both own, and the steps they
// share. Set up the context, open it, then send frames.
class FfmpegEncoder {
 public:
  // what names the encoder in failures ("the video encoder").
  FfmpegEncoder(const AVCodec* codec, std::string what);
  ~FfmpegEncoder();
  FfmpegEncoder(const FfmpegEncoder&) = delete;
  FfmpegEncoder& operator=(const FfmpegEncoder&) = delete;

  // A failure when the context, frame or packet could not be made.
  Status allocated() const;
  // Opens the context as set up.
  Status open(const AVCodec* codec);
  // Gives the frame buffers of the format and size set in it.
  Status allocateFrame();

  AVCodecContext* context() const { return context_; }
  AVFrame* frame() const { return frame_; }

  Status describeStream(AVCodecParameters* parameters) const;
  // Sends frame (null: the end, draining what the encoder still holds) and
  // hands every packet that is ready to sink.
  Status send(const AVFrame* frame, const PacketSink& sink);

 private:
  std::string what_;
  AVCodecContext* context_ = nullptr;
  AVFrame* frame_ = nullptr;
  AVPacket* packet_ = nullptr;
};

}  // namespace marlin
