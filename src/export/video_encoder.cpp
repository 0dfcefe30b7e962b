#include "export/video_encoder.h"

#include <algorithm>
#include <string>

#include "export/ffmpeg_codec.h"
#include "export/ffmpeg_functions.h"
#include "export/ffmpeg_status.h"
#include "export/full_range_yuv.h"

namespace marlin {

namespace {

constexpr int kMaxQuality = 10000;

// Lossy codecs take 4:2:0, which every player decodes; a lossless one keeps
// whatever loses least of the 24-bit picture.
AVPixelFormat pixelFormatFor(VideoCodec codec, const AVCodec* encoder) {
  switch (codec) {
    case VideoCodec::Mjpeg:
      return AV_PIX_FMT_YUVJ420P;
    case VideoCodec::Mpeg4:
    case VideoCodec::H264:
      return AV_PIX_FMT_YUV420P;
    case VideoCodec::Ffv1:
    case VideoCodec::Uncompressed:
      break;
  }
  return av().avcodec_find_best_pix_fmt_of_list(encoder->pix_fmts, AV_PIX_FMT_BGR24, 0, nullptr);
}

// Quality 0..10000 onto the encoder's own scale: a quantiser of 31 (worst)
// to 2 for the MPEG-style coders, a constant rate factor of 51 to 0 for H.264.
// H.264 without a quality asked for takes x264's own default of 23: camera
// pictures keep their detail (faces, number plates) at about a tenth of the
// bytes of MJPEG.
void applyQuality(AVCodecContext* context, VideoCodec codec, int quality) {
  if (quality < 0) return;
  if (codec == VideoCodec::Mjpeg || codec == VideoCodec::Mpeg4) {
    context->flags |= AV_CODEC_FLAG_QSCALE;
    context->global_quality = FF_QP2LAMBDA * (31 - quality * 29 / kMaxQuality);
  } else if (codec == VideoCodec::H264) {
    // Only encoders with a rate factor know the option; the others keep their default.
    av().av_opt_set_double(context->priv_data, "crf", 51.0 - 51.0 * quality / kMaxQuality, 0);
  }
}

// x264's settings for camera footage: "veryfast" gives up little size on
// scenes that barely change and encodes several channels at once on a
// laptop; one thread, as the export runs its files side by side.
void applyH264Settings(AVCodecContext* context) { av().av_opt_set(context->priv_data, "preset", "veryfast", 0); }

// Frames from one key frame to the next: as chosen, or one a second at the
// pictures' rate (at least every frame).
int keyFrameDistance(const Compression& compression, AVRational frameRate) {
  if (compression.keyFrameInterval > 0) return compression.keyFrameInterval;
  const double perSecond = frameRate.den > 0 ? static_cast<double>(frameRate.num) / frameRate.den : 1.0;
  return std::max(1, static_cast<int>(perSecond + 0.5));
}

// MPEG-4 part 2 cannot express time bases past 16 bits; the nearest one keeps the rate.
AVRational encoderTimeBase(VideoCodec codec, AVRational frameTimeBase) {
  if (codec != VideoCodec::Mpeg4) return frameTimeBase;
  AVRational reduced{};
  av().av_reduce(&reduced.num, &reduced.den, frameTimeBase.num, frameTimeBase.den, 65535);
  return reduced;
}

}  // namespace

Status CompressedVideoEncoder::open(const Compression& compression, const AviVideoFormat& format,
                                    AVRational frameTimeBase, AVRational frameRate, bool globalHeader,
                                    std::unique_ptr<CompressedVideoEncoder>& encoder) {
  const AVCodec* codec = findVideoEncoder(compression.codec);
  if (codec == nullptr) {
    return Status::failure(StatusCode::Unsupported, "this FFmpeg build has no encoder for the chosen compression");
  }
  std::unique_ptr<CompressedVideoEncoder> made(new CompressedVideoEncoder);
  made->frameTimeBase_ = frameTimeBase;
  made->encoder_ = std::make_unique<FfmpegEncoder>(codec, "the video encoder");
  if (Status allocated = made->encoder_->allocated(); !allocated) return allocated;
  AVCodecContext* context = made->encoder_->context();
  context->width = format.width;
  context->height = format.height;
  context->pix_fmt = pixelFormatFor(compression.codec, codec);
  context->time_base = encoderTimeBase(compression.codec, frameTimeBase);
  context->framerate = frameRate;
  context->thread_count = 1;
  // AVI has no room for reordered frames: every packet is shown as it comes.
  context->max_b_frames = 0;
  if (globalHeader) context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  context->gop_size = keyFrameDistance(compression, frameRate);
  if (compression.codec == VideoCodec::H264) applyH264Settings(context);
  if (compression.dataRate > 0 && compression.codec != VideoCodec::Ffv1) {
    context->bit_rate = static_cast<std::int64_t>(compression.dataRate) * 8;
  } else {
    applyQuality(context, compression.codec, compression.quality);
  }
  if (Status opened = made->encoder_->open(codec); !opened) return opened;
  AVFrame* frame = made->encoder_->frame();
  frame->width = format.width;
  frame->height = format.height;
  frame->format = context->pix_fmt;
  if (Status allocated = made->encoder_->allocateFrame(); !allocated) return allocated;
  if (context->pix_fmt == AV_PIX_FMT_YUVJ420P) {
    encoder = std::move(made);
    return Status::ok();
  }
  made->converter_ = av().sws_getContext(format.width, format.height, AV_PIX_FMT_BGR24, format.width, format.height,
                                         context->pix_fmt, SWS_BILINEAR, nullptr, nullptr, nullptr);
  if (made->converter_ == nullptr) {
    return Status::failure(StatusCode::Unsupported, "cannot convert 24-bit images for the video encoder");
  }
  encoder = std::move(made);
  return Status::ok();
}

CompressedVideoEncoder::~CompressedVideoEncoder() { av().sws_freeContext(converter_); }

Status CompressedVideoEncoder::describeStream(AVCodecParameters* parameters) const {
  return encoder_->describeStream(parameters);
}

AVRational CompressedVideoEncoder::timeBase() const { return encoder_->context()->time_base; }

Status CompressedVideoEncoder::encode(const std::uint8_t* image, std::int64_t at, const PacketSink& sink) {
  AVFrame* frame = encoder_->frame();
  const AVCodecContext* context = encoder_->context();
  if (const int result = av().av_frame_make_writable(frame); result < 0) {
    return ffmpegFailure(result, "no memory for a video frame");
  }
  // The bottom row comes first: start at the top row and step backwards.
  const auto rowBytes = static_cast<int>(dibRowBytes(context->width, 24));
  const std::uint8_t* topRow = image + static_cast<std::ptrdiff_t>(rowBytes) * (context->height - 1);
  const int sourceStride = -rowBytes;
  if (converter_ == nullptr) {
    bgr24ToFullRangeYuv420(
        topRow, sourceStride, context->width, context->height,
        {frame->data[0], frame->linesize[0], frame->data[1], frame->linesize[1], frame->data[2], frame->linesize[2]});
  } else {
    av().sws_scale(converter_, &topRow, &sourceStride, 0, context->height, frame->data, frame->linesize);
  }
  frame->pts = av().av_rescale_q(at, frameTimeBase_, context->time_base);
  return encoder_->send(frame, sink);
}

Status CompressedVideoEncoder::finish(const PacketSink& sink) { return encoder_->send(nullptr, sink); }

}  // namespace marlin
