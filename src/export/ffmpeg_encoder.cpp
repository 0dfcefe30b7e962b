#include "export/ffmpeg_encoder.h"

#include "export/ffmpeg_functions.h"
#include "export/ffmpeg_status.h"

namespace marlin {

FfmpegEncoder::FfmpegEncoder(const AVCodec* codec, std::string what)
    : what_(std::move(what)),
      context_(av().avcodec_alloc_context3(codec)),
      frame_(av().av_frame_alloc()),
      packet_(av().av_packet_alloc()) {}

FfmpegEncoder::~FfmpegEncoder() {
  av().av_packet_free(&packet_);
  av().av_frame_free(&frame_);
  av().avcodec_free_context(&context_);
}

Status FfmpegEncoder::allocated() const {
  if (context_ == nullptr || frame_ == nullptr || packet_ == nullptr) {
    return Status::failure(StatusCode::OutOfMemory, "no memory for " + what_);
  }
  return Status::ok();
}

Status FfmpegEncoder::open(const AVCodec* codec) {
  if (const int result = av().avcodec_open2(context_, codec, nullptr); result < 0) {
    return ffmpegFailure(result, "cannot open " + what_ + " (" + codec->name + ")");
  }
  return Status::ok();
}

Status FfmpegEncoder::allocateFrame() {
  if (const int result = av().av_frame_get_buffer(frame_, 0); result < 0) {
    return ffmpegFailure(result, "no memory for a frame of " + what_);
  }
  return Status::ok();
}

Status FfmpegEncoder::describeStream(AVCodecParameters* parameters) const {
  if (const int result = av().avcodec_parameters_from_context(parameters, context_); result < 0) {
    return ffmpegFailure(result, "cannot describe the stream of " + what_);
  }
  return Status::ok();
}

Status FfmpegEncoder::send(const AVFrame* frame, const PacketSink& sink) {
  if (const int result = av().avcodec_send_frame(context_, frame);
      result < 0 && !(frame == nullptr && result == AVERROR_EOF)) {
    return ffmpegFailure(result, frame != nullptr ? what_ + " refused a frame" : what_ + " cannot finish");
  }
  for (;;) {
    const int result = av().avcodec_receive_packet(context_, packet_);
    if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) return Status::ok();
    if (result < 0) return ffmpegFailure(result, what_ + " failed");
    Status handed = sink(packet_);
    av().av_packet_unref(packet_);
    if (!handed) return handed;
  }
}

}  // namespace marlin
