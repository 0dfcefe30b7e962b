// Speed of showing pictures: our decoder (ParseHeader + Decode) with each
// transform version, against what FFmpeg does with the same pictures.
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
//
// "vs_ffmpeg" is our pictures per second divided by FFmpeg's,
// both measured in the same iterations: every iteration makes one reference
// pass over the 60 pictures, outside the measured time, just before its own
// pass, and the counter is the median of the pairs' ratios. "_best" compares
// the fastest passes of each kind. pictures_per_s and ref_pictures_per_s come
// from the median pass times. The ffmpeg benchmark pairs the
// reference with itself and show how much of a ratio is noise.

#include <benchmark/benchmark.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
#include <libavutil/pixfmt.h>
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

#include "camera_scenes.h"
#include "codec/encoder/video_encoder.h"
#include "codec/idct.h"
#include "codec/picture_scan.h"
#include "codec/video_decoder.h"
#include "codec/yuv_picture.h"
#include "engine/sample/sample_picture.h"
#include "paired_reference.h"

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
using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextFree>;
using FramePtr = std::unique_ptr<AVFrame, FrameFree>;
using PacketPtr = std::unique_ptr<AVPacket, PacketFree>;

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
  std::string label;               // "bars/640x224"
  std::vector<YuvPicture> source;  // drawn
  std::vector<Bytes> refresh;      // every picture a refresh picture
  std::vector<Bytes> conditional;  // as a recording has them
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
  const auto refreshEvery = static_cast<std::size_t>(std::max(1L, std::lround(2.0 / (kPictureSeconds * kChannels))));
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

// The number of pictures FFmpeg decoded in a pass must be all of them, or
// it would be measured doing less work.
std::function<bool()> mpeg1Reference(Mpeg1Decoder& decoder, const Sequence& sequence) {
  return [&decoder, &sequence]() { return decoder.pass(sequence.mpeg1) == static_cast<int>(sequence.mpeg1.size()); };
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
      state.counters["conditional_pictures_per_s"] = kPictures / PairedReference::median(passSeconds);
    }
  } else {
    paired.report(state, "vs_ffmpeg", kPictures);
  }
  state.counters["bytes_per_picture"] = averageSize(payloads);
}

// The activity scanner against decoding the same pictures with the active
// transform, one thread each: the scanner reads macroblock headers and DC
// bytes and steps over the coefficients.
void BM_Scan(benchmark::State& state, const Sequence* sequence, bool conditional) {
  const std::vector<Bytes>& payloads = conditional ? sequence->conditional : sequence->refresh;
  marlin::VideoDecoder decoder;
  decoder.Init(kVariant);
  std::array<Bytes, kChannels> channels;
  for (Bytes& picture : channels) {
    picture.resize(marlin::VideoDecoder::kMaxPictureBytes);
  }
  const auto decodePass = [&decoder, &channels, &payloads]() {
    for (const Bytes& payload : payloads) {
      if (decoder.ParseHeader(payload.data(), payload.size()) == 0 ||
          decoder.Decode(payload.data(), payload.size(),
                         channels[static_cast<std::size_t>(decoder.GetChannel()) % kChannels].data()) != 1) {
        return false;
      }
    }
    benchmark::DoNotOptimize(channels.data());
    return true;
  };
  marlin::VideoDecoder parser;
  parser.Init(kVariant);
  const auto scan = std::make_unique<marlin::codec::PictureScan>();
  PairedReference paired;
  std::uint64_t coded = 0;
  for (auto _ : state) {
    paired.pass(state, decodePass);
    const auto begin = Clock::now();
    bool scanned = true;
    coded = 0;
    for (const Bytes& payload : payloads) {
      scanned = parser.ParseHeader(payload.data(), payload.size()) != 0 &&
                marlin::codec::scanPicture(payload.data(), payload.size(), parser.header(), *scan);
      if (!scanned) {
        break;
      }
      coded += static_cast<std::uint64_t>(scan->codedCount);
    }
    benchmark::DoNotOptimize(coded);
    paired.own(secondsSince(begin));
    if (!scanned || !paired.ok()) {
      state.SkipWithError("a picture did not scan or decode");
      return;
    }
  }
  paired.report(state, "vs_decode", kPictures);
  state.counters["coded_macroblocks_per_picture"] = static_cast<double>(coded) / kPictures;
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
    add("scan/" + size + "/refresh", BM_Scan, &sequence, false);
    add("scan/" + size + "/conditional", BM_Scan, &sequence, true);
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
    }
  }
  benchmark::AddCustomContext("libavcodec", versionText(avcodec_version()));
  for (const Sequence& sequence : g_sequences) {
    registerBenchmarks(sequence);
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
