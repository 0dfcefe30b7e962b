#include "export/aac_sound_encoder.h"

#include "codec/g711.h"
#include "export/ffmpeg_functions.h"
#include "export/ffmpeg_status.h"

namespace marlin {

namespace {

// Speech from a DVR's microphone, mono at up to 16 kHz.
constexpr std::int64_t kBitRate = 32000;

}  // namespace

Status AacSoundEncoder::open(const AviAudioFormat& format, std::unique_ptr<AacSoundEncoder>& encoder) {
  const AVCodec* codec = av().avcodec_find_encoder(AV_CODEC_ID_AAC);
  if (codec == nullptr) return Status::failure(StatusCode::Unsupported, "this FFmpeg build has no AAC encoder");
  if (format.channels != 1 || (format.bitsPerSample != 8 && format.bitsPerSample != 16)) {
    return Status::failure(StatusCode::Unsupported, "only mono 8- and 16-bit sound is made AAC");
  }
  std::unique_ptr<AacSoundEncoder> made(new AacSoundEncoder);
  made->format_ = format;
  made->encoder_ = std::make_unique<FfmpegEncoder>(codec, "the sound encoder");
  if (Status allocated = made->encoder_->allocated(); !allocated) return allocated;
  AVCodecContext* context = made->encoder_->context();
  context->sample_fmt = AV_SAMPLE_FMT_FLTP;
  context->sample_rate = static_cast<int>(format.samplesPerSecond);
  av().av_channel_layout_default(&context->ch_layout, 1);
  context->bit_rate = kBitRate;
  context->time_base = {1, context->sample_rate};
  // MP4 keeps the decoder's set-up in the stream header.
  context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  if (Status opened = made->encoder_->open(codec); !opened) return opened;
  // The encoder's frame size is known once it is open.
  AVFrame* frame = made->encoder_->frame();
  frame->format = context->sample_fmt;
  frame->nb_samples = context->frame_size;
  frame->sample_rate = context->sample_rate;
  av().av_channel_layout_copy(&frame->ch_layout, &context->ch_layout);
  if (Status allocated = made->encoder_->allocateFrame(); !allocated) return allocated;
  encoder = std::move(made);
  return Status::ok();
}

Status AacSoundEncoder::describeStream(AVCodecParameters* parameters) const {
  return encoder_->describeStream(parameters);
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
  AVFrame* frame = encoder_->frame();
  const std::uint32_t samples = bytes / format_.blockAlign;
  for (std::uint32_t i = 0; i < samples; ++i) {
    if (gathered_ == 0) {
      if (const int result = av().av_frame_make_writable(frame); result < 0) {
        return ffmpegFailure(result, "no memory for a sound frame");
      }
    }
    reinterpret_cast<float*>(frame->data[0])[gathered_++] = sampleAt(data, i);
    if (gathered_ == frame->nb_samples) {
      if (Status sent = sendFrame(sink); !sent) return sent;
    }
  }
  return Status::ok();
}

Status AacSoundEncoder::sendFrame(const PacketSink& sink) {
  AVFrame* frame = encoder_->frame();
  const int full = frame->nb_samples;
  // Only the last frame may be short; it goes with its own sample count.
  frame->nb_samples = gathered_;
  frame->pts = samplesSent_;
  Status sent = encoder_->send(frame, sink);
  frame->nb_samples = full;
  samplesSent_ += gathered_;
  gathered_ = 0;
  return sent;
}

Status AacSoundEncoder::finish(const PacketSink& sink) {
  if (gathered_ != 0) {
    if (Status sent = sendFrame(sink); !sent) return sent;
  }
  return encoder_->send(nullptr, sink);
}

}  // namespace marlin
