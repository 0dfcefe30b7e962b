#include "export/png_file.h"

#include <cstring>
#include <memory>
#include <span>

#include "export/ffmpeg_functions.h"
#include "export/ffmpeg_status.h"
#include "platform/file_io.h"

namespace marlin {

namespace {

struct CodecContextFree {
  void operator()(AVCodecContext* context) const { av().avcodec_free_context(&context); }
};
struct FrameFree {
  void operator()(AVFrame* frame) const { av().av_frame_free(&frame); }
};
struct PacketFree {
  void operator()(AVPacket* packet) const { av().av_packet_free(&packet); }
};

}  // namespace

Status writePngRgb24(const std::string& path, const std::uint8_t* topDownRgb, int width, int height) {
  if (Status loaded = Ffmpeg::load(); !loaded) {
    return Status::failure(loaded.code(), "cannot write " + path + ": " + loaded.message());
  }
  const AVCodec* codec = av().avcodec_find_encoder(AV_CODEC_ID_PNG);
  std::unique_ptr<AVCodecContext, CodecContextFree> context(codec ? av().avcodec_alloc_context3(codec) : nullptr);
  std::unique_ptr<AVFrame, FrameFree> frame(av().av_frame_alloc());
  std::unique_ptr<AVPacket, PacketFree> packet(av().av_packet_alloc());
  if (!context || !frame || !packet) {
    return Status::failure(StatusCode::Unsupported, "cannot write " + path + ": this FFmpeg has no PNG encoder");
  }
  context->width = width;
  context->height = height;
  context->pix_fmt = AV_PIX_FMT_RGB24;
  context->time_base = AVRational{1, 1};
  if (const int opened = av().avcodec_open2(context.get(), codec, nullptr); opened < 0) {
    return ffmpegFailure(opened, "cannot write " + path);
  }
  frame->width = width;
  frame->height = height;
  frame->format = AV_PIX_FMT_RGB24;
  if (const int allocated = av().av_frame_get_buffer(frame.get(), 0); allocated < 0) {
    return ffmpegFailure(allocated, "cannot write " + path);
  }
  for (int row = 0; row < height; ++row) {
    std::memcpy(frame->data[0] + static_cast<std::ptrdiff_t>(row) * frame->linesize[0],
                topDownRgb + static_cast<std::size_t>(row) * width * 3, static_cast<std::size_t>(width) * 3);
  }
  int result = av().avcodec_send_frame(context.get(), frame.get());
  if (result >= 0) {
    result = av().avcodec_receive_packet(context.get(), packet.get());
  }
  if (result < 0) {
    return ffmpegFailure(result, "cannot write " + path);
  }
  return writeWholeFile(path, {std::span<const std::uint8_t>(packet->data, static_cast<std::size_t>(packet->size))});
}

}  // namespace marlin
