#include "export/aac_sound_encoder.h"

#include "codec/g711.h"
#include "export/ffmpeg_status.h"

namespace marlin {

namespace {

// Speech from a DVR's microphone, mono at up to 16 kHz.
constexpr std::int64_t kBitRate = 32000;

}  // namespace

Status AacSoundEncoder::open(const AviAudioFormat& format, std::unique_ptr<AacSoundEncoder>& encoder) {
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_AAC);
  if (codec == nullptr) return Status::failure(StatusCode::Unsupported, "this FFmpeg build has no AAC encoder");
  if (format.channels != 1 || (format.bitsPerSample != 8 && format.bitsPerSample != 16)) {
    return Status::failure(StatusCode::Unsupported, "only mono 8- and 16-bit sound is made AAC");
  }
  std::unique_ptr<AacSoundEncoder> made(new AacSoundEncoder);
  made->format_ = format;
  made->context_ = avcodec_alloc_context3(codec);
  made->frame_ = av_frame_alloc();
  made->packet_ = av_packet_alloc();
  if (made->context_ == nullptr || made->frame_ == nullptr || made->packet_ == nullptr) {
    return Status::failure(StatusCode::OutOfMemory, "no memory for the sound encoder");
  }
  AVCodecContext* context = made->context_;
  context->sample_fmt = AV_SAMPLE_FMT_FLTP;
  context->sample_rate = static_cast<int>(format.samplesPerSecond);
  av_channel_layout_default(&context->ch_layout, 1);
  context->bit_rate = kBitRate;
  context->time_base = {1, context->sample_rate};
  // MP4 keeps the decoder's set-up in the stream header.
  context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  if (const int result = avcodec_open2(context, codec, nullptr); result < 0) {
    return ffmpegFailure(result, "cannot open the AAC encoder");
  }
  AVFrame* frame = made->frame_;
  frame->format = context->sample_fmt;
  frame->nb_samples = context->frame_size;
  frame->sample_rate = context->sample_rate;
  av_channel_layout_copy(&frame->ch_layout, &context->ch_layout);
  if (const int result = av_frame_get_buffer(frame, 0); result < 0) {
    return ffmpegFailure(result, "no memory for a sound frame");
  }
  encoder = std::move(made);
  return Status::ok();
}

AacSoundEncoder::~AacSoundEncoder() {
  av_packet_free(&packet_);
  av_frame_free(&frame_);
  avcodec_free_context(&context_);
}

Status AacSoundEncoder::describeStream(AVCodecParameters* parameters) const {
  if (const int result = avcodec_parameters_from_context(parameters, context_); result < 0) {
    return ffmpegFailure(result, "cannot describe the sound stream");
  }
  return Status::ok();
}

float AacSoundEncoder::sampleAt(const std::uint8_t* data, std::uint32_t index) const {
  if (format_.bitsPerSample == 16) {
    const auto sample = static_cast<std::int16_t>(data[2 * index] | data[2 * index + 1] << 8);
    return static_cast<float>(sample) / 32768.0f;
  }
  if (format_.formatTag == kWaveFormatALaw) return static_cast<float>(alawToLinear(data[index])) / 32768.0f;
  return (static_cast<float>(data[index]) - 128.0f) / 128.0f;
}

Status AacSoundEncoder::encode(const std::uint8_t* data, std::uint32_t bytes, const PacketSink& sink) {
  const std::uint32_t samples = bytes / format_.blockAlign;
  for (std::uint32_t i = 0; i < samples; ++i) {
    if (gathered_ == 0) {
      if (const int result = av_frame_make_writable(frame_); result < 0) {
        return ffmpegFailure(result, "no memory for a sound frame");
      }
    }
    reinterpret_cast<float*>(frame_->data[0])[gathered_++] = sampleAt(data, i);
    if (gathered_ == frame_->nb_samples) {
      if (Status sent = sendFrame(sink); !sent) return sent;
    }
  }
  return Status::ok();
}

Status AacSoundEncoder::sendFrame(const PacketSink& sink) {
  const int full = frame_->nb_samples;
  frame_->nb_samples = gathered_;
  frame_->pts = samplesSent_;
  const int result = avcodec_send_frame(context_, frame_);
  frame_->nb_samples = full;
  samplesSent_ += gathered_;
  gathered_ = 0;
  if (result < 0) return ffmpegFailure(result, "the sound encoder refused samples");
  return drainEncoder(context_, packet_, sink, "the sound encoder");
}

Status AacSoundEncoder::finish(const PacketSink& sink) {
  if (gathered_ != 0) {
    if (Status sent = sendFrame(sink); !sent) return sent;
  }
  if (const int result = avcodec_send_frame(context_, nullptr); result < 0 && result != AVERROR_EOF) {
    return ffmpegFailure(result, "the sound encoder cannot finish");
  }
  return drainEncoder(context_, packet_, sink, "the sound encoder");
}

}  // namespace marlin
