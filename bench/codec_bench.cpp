// Speed of showing pictures: our decoder (ParseHeader + Decode) with each
// transform version, and the colour conversions the display uses (ToDib24,
// ToRgb32) with each kernel version, against what FFmpeg does with the same
// pictures.
//
// The pictures are four channels in turn, 60 of them at 640x224 and at
// 640x272, of three contents: "bars", the sample recordings' synthetic
// pictures, and "day" and "night", camera-like scenes with texture, sensor
// noise and movement (bench/camera_scenes.h). Each is encoded at quality 3 by
// our encoder twice: every picture a refresh picture, and as a recording has
// them (refresh pictures every two seconds per channel, conditional pictures
// between). FFmpeg's reference is an intra-only MPEG-1 stream of the same
// source pictures from its own encoder, at the fixed qscale whose average
// picture size comes closest to our refresh pictures'; its decoder runs on
// one thread. Conditional pictures have no like-for-like counterpart there,
// so their benchmarks report only our own conditional_pictures_per_s.
// Colour conversion is compared with libswscale converting full-range
// yuv420p to bgr24 (bottom-up, as a DIB) and to bgra, unscaled, one thread.
//
// "vs_ffmpeg" / "vs_swscale" is our pictures per second divided by FFmpeg's,
// both measured in the same iterations: every iteration makes one reference
// pass over the 60 pictures, outside the measured time, just before its own
// pass, and the counter is the median of the pairs' ratios. "_best" compares
// the fastest passes of each kind. pictures_per_s and ref_pictures_per_s come
// from the median pass times. The ffmpeg and swscale benchmarks pair the
// reference with itself and show how much of a ratio is noise.

#include <benchmark/benchmark.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "codec/colour_convert.h"
#include "codec/encoder/video_encoder.h"
#include "codec/idct.h"
#include "codec/video_decoder.h"
#include "codec/yuv_picture.h"
#include "engine/sample/sample_recording.h"

#include "camera_scenes.h"

namespace {

using marlin::YuvPicture;
using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

constexpr int kWidth = 640;
constexpr int kPictures = 60;
constexpr unsigned kChannels = 4;
constexpr int kQuality = 3;
constexpr marlin::CodecVariant kVariant = 4;
// About 30 pictures a second shared by the channels, as the sample
// recordings have them.
constexpr double kPictureSeconds = 1.0 / 30;

double secondsSince(Clock::time_point begin) { return std::chrono::duration<double>(Clock::now() - begin).count(); }

std::string ffmpegError(int error) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(error, text, sizeof text);
  return text;
}

struct CodecContextFree {
  void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct FrameFree {
  void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketFree {
  void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct SwsFree {
  void operator()(SwsContext* context) const { sws_freeContext(context); }
};
using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextFree>;
using FramePtr = std::unique_ptr<AVFrame, FrameFree>;
using PacketPtr = std::unique_ptr<AVPacket, PacketFree>;
using SwsPtr = std::unique_ptr<SwsContext, SwsFree>;

double averageSize(const std::vector<Bytes>& payloads) {
  double total = 0;
  for (const Bytes& payload : payloads) {
    total += static_cast<double>(payload.size());
  }
  return payloads.empty() ? 0 : total / static_cast<double>(payloads.size());
}

double averageSize(const std::vector<PacketPtr>& packets) {
  double total = 0;
  for (const PacketPtr& packet : packets) {
    total += packet->size;
  }
  return packets.empty() ? 0 : total / static_cast<double>(packets.size());
}

// Over all three planes of every picture.
double psnr(const std::vector<YuvPicture>& source, const std::vector<YuvPicture>& decoded) {
  double squared = 0;
  double samples = 0;
  for (std::size_t i = 0; i < source.size() && i < decoded.size(); ++i) {
    for (std::size_t k = 0; k < source[i].data.size(); ++k) {
      const double d = static_cast<double>(source[i].data[k]) - decoded[i].data[k];
      squared += d * d;
    }
    samples += static_cast<double>(source[i].data.size());
  }
  return squared == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 * samples / squared);
}

// FFmpeg's MPEG-1 encoder set to intra pictures only at a fixed qscale.
// Empty on failure (after saying why).
std::vector<PacketPtr> encodeMpeg1(const std::vector<YuvPicture>& pictures, int qscale) {
  std::vector<PacketPtr> packets;
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MPEG1VIDEO);
  CodecContextPtr context(codec != nullptr ? avcodec_alloc_context3(codec) : nullptr);
  FramePtr frame(av_frame_alloc());
  PacketPtr packet(av_packet_alloc());
  if (!context || !frame || !packet) {
    std::fprintf(stderr, "mpeg1 encoder: not available\n");
    return {};
  }
  const YuvPicture& first = pictures.front();
  context->width = first.width;
  context->height = first.height;
  context->pix_fmt = AV_PIX_FMT_YUV420P;
  context->time_base = AVRational{1, 30};
  context->framerate = AVRational{30, 1};
  context->gop_size = 0;  // intra only
  context->max_b_frames = 0;
  context->thread_count = 1;
  context->flags |= AV_CODEC_FLAG_QSCALE;
  context->global_quality = FF_QP2LAMBDA * qscale;
  if (const int error = avcodec_open2(context.get(), codec, nullptr); error < 0) {
    std::fprintf(stderr, "mpeg1 encoder: %s\n", ffmpegError(error).c_str());
    return {};
  }
  frame->format = AV_PIX_FMT_YUV420P;
  frame->width = first.width;
  frame->height = first.height;
  if (av_frame_get_buffer(frame.get(), 0) < 0) {
    return {};
  }

  const auto drain = [&]() {
    while (avcodec_receive_packet(context.get(), packet.get()) == 0) {
      packets.emplace_back(av_packet_clone(packet.get()));
      av_packet_unref(packet.get());
    }
  };
  std::int64_t pts = 0;
  for (const YuvPicture& picture : pictures) {
    if (av_frame_make_writable(frame.get()) < 0) {
      return {};
    }
    const std::uint8_t* planes[3] = {picture.y(), picture.cb(), picture.cr()};
    for (int p = 0; p < 3; ++p) {
      const int width = p == 0 ? picture.width : picture.width / 2;
      const int height = p == 0 ? picture.height : picture.height / 2;
      for (int row = 0; row < height; ++row) {
        std::memcpy(frame->data[p] + static_cast<std::ptrdiff_t>(row) * frame->linesize[p],
                    planes[p] + static_cast<std::ptrdiff_t>(row) * width, static_cast<std::size_t>(width));
      }
    }
    frame->pts = pts++;
    frame->quality = context->global_quality;
    frame->pict_type = AV_PICTURE_TYPE_I;
    if (avcodec_send_frame(context.get(), frame.get()) < 0) {
      return {};
    }
    drain();
  }
  avcodec_send_frame(context.get(), nullptr);
  drain();
  if (packets.size() != pictures.size()) {
    std::fprintf(stderr, "mpeg1 encoder: %zu packets for %zu pictures\n", packets.size(), pictures.size());
    return {};
  }
  return packets;
}

// FFmpeg's MPEG-1 decoder on one thread, used a whole stream at a time: its
// output runs a picture behind its input, so every pass ends by draining it
// and resetting it for the next.
class Mpeg1Decoder {
 public:
  bool open() {
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_MPEG1VIDEO);
    context_.reset(codec != nullptr ? avcodec_alloc_context3(codec) : nullptr);
    frame_.reset(av_frame_alloc());
    if (!context_ || !frame_) {
      return false;
    }
    context_->thread_count = 1;
    return avcodec_open2(context_.get(), codec, nullptr) >= 0;
  }

  // Decodes every packet; onFrame (when given) sees each picture. Returns
  // the number of pictures that came out.
  int pass(const std::vector<PacketPtr>& packets, const std::function<void(const AVFrame&)>& onFrame = {}) {
    int pictures = 0;
    const auto receive = [&]() {
      while (avcodec_receive_frame(context_.get(), frame_.get()) == 0) {
        if (onFrame) {
          onFrame(*frame_);
        }
        ++pictures;
      }
    };
    for (const PacketPtr& packet : packets) {
      if (avcodec_send_packet(context_.get(), packet.get()) < 0) {
        return pictures;
      }
      receive();
    }
    avcodec_send_packet(context_.get(), nullptr);
    receive();
    avcodec_flush_buffers(context_.get());
    return pictures;
  }

 private:
  CodecContextPtr context_;
  FramePtr frame_;
};

enum class Rgb { Bgr24BottomUp, Bgra };

// libswscale's unscaled conversion of full-range yuv420p (our decoder's
// output range) on one thread.
SwsPtr makeConverter(int width, int height, Rgb format) {
  SwsPtr context(sws_alloc_context());
  if (!context) {
    return {};
  }
  const AVPixelFormat destFormat = format == Rgb::Bgra ? AV_PIX_FMT_BGRA : AV_PIX_FMT_BGR24;
  const bool set = av_opt_set_int(context.get(), "srcw", width, 0) >= 0 &&
                   av_opt_set_int(context.get(), "srch", height, 0) >= 0 &&
                   av_opt_set_int(context.get(), "src_format", AV_PIX_FMT_YUV420P, 0) >= 0 &&
                   av_opt_set_int(context.get(), "src_range", 1, 0) >= 0 &&
                   av_opt_set_int(context.get(), "dstw", width, 0) >= 0 &&
                   av_opt_set_int(context.get(), "dsth", height, 0) >= 0 &&
                   av_opt_set_int(context.get(), "dst_format", destFormat, 0) >= 0 &&
                   av_opt_set_int(context.get(), "sws_flags", SWS_POINT, 0) >= 0 &&
                   av_opt_set_int(context.get(), "threads", 1, 0) >= 0;
  if (!set || sws_init_context(context.get(), nullptr, nullptr) < 0) {
    return {};
  }
  return context;
}

void swsConvert(SwsContext* context, const YuvPicture& picture, std::uint8_t* dest, Rgb format) {
  const std::uint8_t* const source[3] = {picture.y(), picture.cb(), picture.cr()};
  const int sourceStrides[3] = {picture.width, picture.width / 2, picture.width / 2};
  const int bytes = format == Rgb::Bgra ? 4 : 3;
  const int rowBytes = picture.width * bytes;
  // A DIB's rows run bottom-up: start at the last row, step backwards.
  std::uint8_t* const destRows[1] = {
      format == Rgb::Bgra ? dest : dest + static_cast<std::ptrdiff_t>(picture.height - 1) * rowBytes};
  const int destStrides[1] = {format == Rgb::Bgra ? rowBytes : -rowBytes};
  sws_scale(context, source, sourceStrides, 0, picture.height, destRows, destStrides);
}

enum class Content { Bars, Day, Night };

const char* contentName(Content content) {
  switch (content) {
    case Content::Bars:
      return "bars";
    case Content::Day:
      return "day";
    case Content::Night:
      return "night";
  }
  return "";
}

void drawPicture(YuvPicture& picture, Content content, unsigned channel, int index) {
  if (content == Content::Bars) {
    marlin::sample::drawSamplePicture(picture, channel, index * kPictureSeconds);
  } else {
    const auto scene = content == Content::Day ? marlin::bench::CameraScene::Day : marlin::bench::CameraScene::Night;
    marlin::bench::drawCameraPicture(picture, scene, channel, index);
  }
}

// One content's material at one picture size, made once before the
// benchmarks run.
struct Sequence {
  Content content = Content::Bars;
  int height = 0;
  std::string label;                // "bars/640x224"
  std::vector<YuvPicture> source;   // drawn
  std::vector<Bytes> refresh;       // every picture a refresh picture
  std::vector<Bytes> conditional;   // as a recording has them
  int conditionalRefreshes = 0;
  std::vector<YuvPicture> decoded;  // the refresh pictures as our decoder shows them
  std::vector<PacketPtr> mpeg1;     // intra only
  int mpeg1Qscale = 0;
};

std::vector<Sequence> g_sequences;

bool decodeOurs(const std::vector<Bytes>& payloads, int height, std::vector<YuvPicture>& out) {
  marlin::VideoDecoder decoder;
  decoder.Init(kVariant);
  std::array<YuvPicture, kChannels> channels;
  for (YuvPicture& picture : channels) {
    picture.resize(kWidth, height);
  }
  for (const Bytes& payload : payloads) {
    if (decoder.ParseHeader(payload.data(), payload.size()) == 0) {
      return false;
    }
    YuvPicture& picture = channels[static_cast<std::size_t>(decoder.GetChannel()) % kChannels];
    if (decoder.Decode(payload.data(), payload.size(), picture.data.data()) != 1) {
      return false;
    }
    out.push_back(picture);
  }
  return true;
}

std::vector<YuvPicture> decodeMpeg1(const std::vector<PacketPtr>& packets) {
  std::vector<YuvPicture> pictures;
  Mpeg1Decoder decoder;
  if (!decoder.open()) {
    return pictures;
  }
  decoder.pass(packets, [&pictures](const AVFrame& frame) {
    YuvPicture& picture = pictures.emplace_back();
    picture.resize(frame.width, frame.height);
    std::uint8_t* planes[3] = {picture.y(), picture.cb(), picture.cr()};
    for (int p = 0; p < 3; ++p) {
      const int width = p == 0 ? frame.width : frame.width / 2;
      const int height = p == 0 ? frame.height : frame.height / 2;
      for (int row = 0; row < height; ++row) {
        std::memcpy(planes[p] + static_cast<std::ptrdiff_t>(row) * width,
                    frame.data[p] + static_cast<std::ptrdiff_t>(row) * frame.linesize[p],
                    static_cast<std::size_t>(width));
      }
    }
  });
  return pictures;
}

// Picture size falls as qscale rises, so a bisection finds the first qscale
// at or below our size; it or the one before is the closest.
bool matchMpeg1Size(Sequence& sequence) {
  const double target = averageSize(sequence.refresh);
  int low = 1;
  int high = 31;
  std::vector<PacketPtr> atHigh = encodeMpeg1(sequence.source, high);
  if (atHigh.empty()) {
    return false;
  }
  if (averageSize(atHigh) <= target) {
    while (high - low > 1) {
      const int middle = (low + high) / 2;
      std::vector<PacketPtr> atMiddle = encodeMpeg1(sequence.source, middle);
      if (atMiddle.empty()) {
        return false;
      }
      if (averageSize(atMiddle) <= target) {
        high = middle;
        atHigh = std::move(atMiddle);
      } else {
        low = middle;
      }
    }
    std::vector<PacketPtr> below = encodeMpeg1(sequence.source, high - 1);
    if (!below.empty() && std::abs(averageSize(below) - target) < std::abs(averageSize(atHigh) - target)) {
      atHigh = std::move(below);
      --high;
    }
  }
  sequence.mpeg1 = std::move(atHigh);
  sequence.mpeg1Qscale = high;
  return true;
}

bool prepareSequence(Sequence& sequence, Content content, int height) {
  const auto begin = Clock::now();
  sequence.content = content;
  sequence.height = height;
  sequence.label = std::string(contentName(content)) + "/" + std::to_string(kWidth) + "x" + std::to_string(height);
  // Refresh pictures every two seconds per channel, as the sample
  // recordings with conditional pictures have them.
  const auto refreshEvery =
      static_cast<std::size_t>(std::max(1L, std::lround(2.0 / (kPictureSeconds * kChannels))));
  marlin::encoder::VideoEncoder refreshEncoder;
  marlin::encoder::VideoEncoder conditionalEncoder;
  for (std::size_t index = 0; index < kPictures; ++index) {
    YuvPicture& picture = sequence.source.emplace_back();
    picture.resize(kWidth, height);
    const auto channel = static_cast<unsigned>(index % kChannels);
    drawPicture(picture, content, channel, static_cast<int>(index));
    marlin::encoder::EncodeParams params;
    params.variant = kVariant;
    params.quality = kQuality;
    params.channel = static_cast<int>(channel);
    sequence.refresh.push_back(refreshEncoder.encode(picture, params));
    params.refresh = (index / kChannels) % refreshEvery == 0;
    sequence.conditionalRefreshes += params.refresh ? 1 : 0;
    sequence.conditional.push_back(conditionalEncoder.encode(picture, params));
  }
  std::vector<YuvPicture> conditionalDecoded;
  if (!decodeOurs(sequence.refresh, height, sequence.decoded) ||
      !decodeOurs(sequence.conditional, height, conditionalDecoded)) {
    std::fprintf(stderr, "%s: our decoder rejects our encoder's pictures\n", sequence.label.c_str());
    return false;
  }
  if (!matchMpeg1Size(sequence)) {
    return false;
  }
  const std::vector<YuvPicture> mpeg1Decoded = decodeMpeg1(sequence.mpeg1);
  if (mpeg1Decoded.size() != sequence.source.size()) {
    std::fprintf(stderr, "%s: FFmpeg decoded %zu of %zu pictures\n", sequence.label.c_str(), mpeg1Decoded.size(),
                 sequence.source.size());
    return false;
  }

  const double ours = averageSize(sequence.refresh);
  const double conditional = averageSize(sequence.conditional);
  const double mpeg1 = averageSize(sequence.mpeg1);
  const double oursPsnr = psnr(sequence.source, sequence.decoded);
  const double conditionalPsnr = psnr(sequence.source, conditionalDecoded);
  const double mpeg1Psnr = psnr(sequence.source, mpeg1Decoded);
  std::fprintf(stderr,
               "%s: %d pictures of %u channels; refresh %.0f bytes/picture (PSNR %.2f dB), conditional %.0f "
               "(%d refresh, PSNR %.2f dB), mpeg1 intra qscale %d %.0f bytes/picture (PSNR %.2f dB); %.1f s\n",
               sequence.label.c_str(), kPictures, kChannels, ours, oursPsnr, conditional, sequence.conditionalRefreshes,
               conditionalPsnr, sequence.mpeg1Qscale, mpeg1, mpeg1Psnr, secondsSince(begin));
  const auto add = [&sequence](const char* key, const std::string& value) {
    benchmark::AddCustomContext(sequence.label + "/" + key, value);
  };
  add("refresh_bytes_per_picture", std::to_string(ours));
  add("conditional_bytes_per_picture", std::to_string(conditional));
  add("conditional_refresh_pictures", std::to_string(sequence.conditionalRefreshes));
  add("mpeg1_qscale", std::to_string(sequence.mpeg1Qscale));
  add("mpeg1_bytes_per_picture", std::to_string(mpeg1));
  add("refresh_psnr_db", std::to_string(oursPsnr));
  add("conditional_psnr_db", std::to_string(conditionalPsnr));
  add("mpeg1_psnr_db", std::to_string(mpeg1Psnr));
  return true;
}

// How far libswscale's bytes are from ours on the first picture: both should
// be the same full-range conversion, so the comparison is of like work.
void compareConversions(const Sequence& sequence) {
  const YuvPicture& picture = sequence.decoded.front();
  const std::size_t size = static_cast<std::size_t>(picture.width) * picture.height * 3;
  Bytes ours(size);
  Bytes theirs(size);
  marlin::ToDib24(ours.data(), picture.data.data(), picture.width, picture.height);
  const SwsPtr converter = makeConverter(picture.width, picture.height, Rgb::Bgr24BottomUp);
  if (!converter) {
    return;
  }
  swsConvert(converter.get(), picture, theirs.data(), Rgb::Bgr24BottomUp);
  int largest = 0;
  double total = 0;
  for (std::size_t i = 0; i < size; ++i) {
    const int d = std::abs(ours[i] - theirs[i]);
    largest = std::max(largest, d);
    total += d;
  }
  std::fprintf(stderr, "%s: ToDib24 vs swscale bgr24: mean |difference| %.3f, largest %d\n", sequence.label.c_str(),
               total / static_cast<double>(size), largest);
}

double medianOf(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// Every iteration makes one reference pass, outside the measured time, just
// before the benchmark's own pass. Other developers' load on this machine
// moves throughput by tens of percent within seconds; the median of ratios
// of passes made milliseconds apart moves much less.
class PairedReference {
 public:
  void pass(benchmark::State& state, const std::function<bool()>& reference) {
    state.PauseTiming();
    const auto begin = Clock::now();
    ok_ = reference() && ok_;
    referenceSeconds_.push_back(secondsSince(begin));
    state.ResumeTiming();
  }

  void own(double seconds) {
    if (seconds > 0 && referenceSeconds_.size() > ownSeconds_.size()) {
      ratios_.push_back(referenceSeconds_.back() / seconds);
      ownSeconds_.push_back(seconds);
    }
  }

  bool ok() const { return ok_; }

  void report(benchmark::State& state, const char* ratioName, int picturesPerPass) {
    if (ratios_.empty()) {
      return;
    }
    const double pictures = picturesPerPass;
    state.counters["pictures_per_s"] = pictures / medianOf(ownSeconds_);
    state.counters["ref_pictures_per_s"] = pictures / medianOf(referenceSeconds_);
    state.counters[ratioName] = medianOf(ratios_);
    state.counters[std::string(ratioName) + "_best"] =
        *std::min_element(referenceSeconds_.begin(), referenceSeconds_.end()) /
        *std::min_element(ownSeconds_.begin(), ownSeconds_.end());
  }

 private:
  bool ok_ = true;
  std::vector<double> referenceSeconds_;
  std::vector<double> ownSeconds_;
  std::vector<double> ratios_;
};

// The number of pictures FFmpeg decoded in a pass must be all of them, or
// it would be measured doing less work.
std::function<bool()> mpeg1Reference(Mpeg1Decoder& decoder, const Sequence& sequence) {
  return [&decoder, &sequence]() {
    return decoder.pass(sequence.mpeg1) == static_cast<int>(sequence.mpeg1.size());
  };
}

void BM_DecodeFfmpeg(benchmark::State& state, const Sequence* sequence) {
  Mpeg1Decoder reference;
  Mpeg1Decoder decoder;
  if (!reference.open() || !decoder.open()) {
    state.SkipWithError("cannot open FFmpeg's MPEG-1 decoder");
    return;
  }
  PairedReference paired;
  const auto referencePass = mpeg1Reference(reference, *sequence);
  for (auto _ : state) {
    paired.pass(state, referencePass);
    const auto begin = Clock::now();
    const int pictures = decoder.pass(sequence->mpeg1);
    paired.own(secondsSince(begin));
    if (pictures != kPictures || !paired.ok()) {
      state.SkipWithError("FFmpeg did not decode every picture");
      return;
    }
  }
  paired.report(state, "vs_ffmpeg", kPictures);
  state.counters["bytes_per_picture"] = averageSize(sequence->mpeg1);
}

void BM_Decode(benchmark::State& state, const Sequence* sequence, bool conditional,
               const marlin::codec::IdctKernel* kernel) {
  marlin::codec::selectIdct(*kernel);
  marlin::VideoDecoder decoder;
  decoder.Init(kVariant);
  if (std::strcmp(decoder.transformName(), kernel->name) != 0) {
    state.SkipWithError("the decoder did not take the selected transform");
    return;
  }
  Mpeg1Decoder reference;
  if (!reference.open()) {
    state.SkipWithError("cannot open FFmpeg's MPEG-1 decoder");
    return;
  }
  const std::vector<Bytes>& payloads = conditional ? sequence->conditional : sequence->refresh;
  // Conditional pictures build on their channel's previous picture.
  std::array<Bytes, kChannels> channels;
  for (Bytes& picture : channels) {
    picture.resize(marlin::VideoDecoder::kMaxPictureBytes);
  }
  PairedReference paired;
  const auto referencePass = mpeg1Reference(reference, *sequence);
  std::vector<double> passSeconds;
  for (auto _ : state) {
    if (!conditional) {
      paired.pass(state, referencePass);
    }
    const auto begin = Clock::now();
    bool decoded = true;
    for (const Bytes& payload : payloads) {
      if (decoder.ParseHeader(payload.data(), payload.size()) == 0) {
        decoded = false;
        break;
      }
      Bytes& out = channels[static_cast<std::size_t>(decoder.GetChannel()) % kChannels];
      decoded = decoder.Decode(payload.data(), payload.size(), out.data()) == 1;
      if (!decoded) {
        break;
      }
    }
    benchmark::DoNotOptimize(channels.data());
    passSeconds.push_back(secondsSince(begin));
    paired.own(passSeconds.back());
    if (!decoded || !paired.ok()) {
      state.SkipWithError("a picture did not decode");
      return;
    }
  }
  if (conditional) {
    if (!passSeconds.empty()) {
      state.counters["conditional_pictures_per_s"] = kPictures / medianOf(passSeconds);
    }
  } else {
    paired.report(state, "vs_ffmpeg", kPictures);
  }
  state.counters["bytes_per_picture"] = averageSize(payloads);
}

using ConvertFn = void (*)(std::uint8_t*, const std::uint8_t*, int, int);

std::function<bool()> swsReference(SwsContext* converter, const Sequence& sequence, std::uint8_t* dest, Rgb format) {
  return [converter, &sequence, dest, format]() {
    for (const YuvPicture& picture : sequence.decoded) {
      swsConvert(converter, picture, dest, format);
    }
    benchmark::DoNotOptimize(dest);
    return true;
  };
}

void BM_ConvertSwscale(benchmark::State& state, const Sequence* sequence, Rgb format) {
  const SwsPtr reference = makeConverter(kWidth, sequence->height, format);
  const SwsPtr converter = makeConverter(kWidth, sequence->height, format);
  if (!reference || !converter) {
    state.SkipWithError("cannot set up libswscale");
    return;
  }
  Bytes referenceOut(static_cast<std::size_t>(kWidth) * sequence->height * 4);
  Bytes out(referenceOut.size());
  PairedReference paired;
  const auto referencePass = swsReference(reference.get(), *sequence, referenceOut.data(), format);
  for (auto _ : state) {
    paired.pass(state, referencePass);
    const auto begin = Clock::now();
    for (const YuvPicture& picture : sequence->decoded) {
      swsConvert(converter.get(), picture, out.data(), format);
    }
    benchmark::DoNotOptimize(out.data());
    paired.own(secondsSince(begin));
  }
  paired.report(state, "vs_swscale", kPictures);
}

void BM_Convert(benchmark::State& state, const Sequence* sequence, Rgb format, const marlin::colour::Kernel* kernel) {
  marlin::colour::selectKernel(*kernel);
  const SwsPtr reference = makeConverter(kWidth, sequence->height, format);
  if (!reference) {
    state.SkipWithError("cannot set up libswscale");
    return;
  }
  const ConvertFn convert = format == Rgb::Bgra ? marlin::ToRgb32 : marlin::ToDib24;
  Bytes referenceOut(static_cast<std::size_t>(kWidth) * sequence->height * 4);
  Bytes out(referenceOut.size());
  PairedReference paired;
  const auto referencePass = swsReference(reference.get(), *sequence, referenceOut.data(), format);
  for (auto _ : state) {
    paired.pass(state, referencePass);
    const auto begin = Clock::now();
    for (const YuvPicture& picture : sequence->decoded) {
      convert(out.data(), picture.data.data(), picture.width, picture.height);
    }
    benchmark::DoNotOptimize(out.data());
    paired.own(secondsSince(begin));
  }
  paired.report(state, "vs_swscale", kPictures);
}

std::string versionText(unsigned version) {
  return std::to_string(AV_VERSION_MAJOR(version)) + "." + std::to_string(AV_VERSION_MINOR(version)) + "." +
         std::to_string(AV_VERSION_MICRO(version));
}

void registerBenchmarks(const Sequence& sequence) {
  const auto add = [](const std::string& name, auto&&... arguments) {
    benchmark::RegisterBenchmark(name.c_str(), arguments...)->Unit(benchmark::kMillisecond)->UseRealTime();
  };
  const std::string& size = sequence.label;
  if (sequence.content != Content::Bars) {
    add("decode/" + size + "/ffmpeg_mpeg1", BM_DecodeFfmpeg, &sequence);
    for (const marlin::codec::IdctKernel* kernel : marlin::codec::supportedIdcts()) {
      add("decode/" + size + "/refresh/" + kernel->name, BM_Decode, &sequence, false, kernel);
    }
    return;
  }
  add("decode/" + size + "/ffmpeg_mpeg1", BM_DecodeFfmpeg, &sequence);
  for (const bool conditional : {false, true}) {
    for (const marlin::codec::IdctKernel* kernel : marlin::codec::supportedIdcts()) {
      add("decode/" + size + (conditional ? "/conditional/" : "/refresh/") + kernel->name, BM_Decode, &sequence,
          conditional, kernel);
    }
  }
  for (const Rgb format : {Rgb::Bgr24BottomUp, Rgb::Bgra}) {
    const std::string prefix = format == Rgb::Bgra ? "ToRgb32/" : "ToDib24/";
    add(prefix + size + "/swscale", BM_ConvertSwscale, &sequence, format);
    for (const marlin::colour::Kernel* kernel : marlin::colour::supportedKernels()) {
      add(prefix + size + "/" + kernel->name, BM_Convert, &sequence, format, kernel);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
    return 2;
  }
  // FFmpeg's encoder and decoder report settings on stderr; only failures
  // matter here.
  av_log_set_level(AV_LOG_ERROR);
  const int heights[] = {224, 272};
  g_sequences.resize(std::size(heights) * 3);
  std::size_t next = 0;
  for (const Content content : {Content::Bars, Content::Day, Content::Night}) {
    for (const int height : heights) {
      Sequence& sequence = g_sequences[next++];
      if (!prepareSequence(sequence, content, height)) {
        return 1;
      }
      if (content == Content::Bars) {
        compareConversions(sequence);
      }
    }
  }
  benchmark::AddCustomContext("libavcodec", versionText(avcodec_version()));
  benchmark::AddCustomContext("libswscale", versionText(swscale_version()));
  for (const Sequence& sequence : g_sequences) {
    registerBenchmarks(sequence);
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
