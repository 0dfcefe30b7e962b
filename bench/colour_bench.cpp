// Speed of the colour conversions the display uses, ToRgb32 (B, G, R, 0)
// and ToDib24 (B, G, R bottom-up), with each kernel version, against libyuv
// and libswscale doing the same full-range BT.601 conversion.
//
// The pictures, 8 at 640x224 and 8 at 640x272, look like camera content:
// gradients, texture and sensor noise in every plane, so that no branch or
// saturation shortcut is flattered by flat fields. libyuv's J420ToARGB
// writes B, G, R, 255 and J420ToRGB24 B, G, R top-down: the same bytes per
// picture as ours. libswscale converts yuv420p (full range) unscaled on one
// thread, to bgra and to bottom-up bgr24.
//
// "vs_libyuv" / "vs_swscale" is our pictures per second divided by the
// reference's, both measured in the same iterations: every iteration makes
// one reference pass over the pictures, outside the measured time, just
// before its own pass, and the counter is the median of the pairs' ratios.
// "_best" compares the fastest passes of each kind. The "self" benchmarks
// pair a reference with itself and show how much of a ratio is noise.

#include <benchmark/benchmark.h>
#include <libyuv/convert_argb.h>
#include <libyuv/version.h>

extern "C" {
#include <libavutil/opt.h>
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "codec/colour_convert.h"
#include "codec/yuv_picture.h"
#include "paired_reference.h"

namespace {

using marlin::YuvPicture;
using Bytes = std::vector<std::uint8_t>;

constexpr int kWidth = 640;
constexpr int kPictures = 8;

enum class Rgb { Bgr24BottomUp, Bgra };

const char* nameOf(Rgb format) { return format == Rgb::Bgra ? "bgra" : "bgr24"; }
int bytesOf(Rgb format) { return format == Rgb::Bgra ? 4 : 3; }

std::uint8_t toSample(double value) { return static_cast<std::uint8_t>(std::clamp(std::lround(value), 0L, 255L)); }

// A lit scene: a diagonal gradient, a few soft blobs, fine texture and
// noise; the chroma planes drift in colour with their own texture and noise.
YuvPicture cameraLikePicture(int width, int height, unsigned seed) {
  YuvPicture picture;
  picture.resize(width, height);
  std::mt19937 random(seed);
  std::normal_distribution<double> noise(0.0, 6.0);
  std::uniform_real_distribution<double> anywhere(0.0, 1.0);
  struct Blob {
    double x, y, radius, strength;
  };
  std::array<Blob, 6> blobs{};
  for (Blob& blob : blobs) {
    blob = {anywhere(random) * width, anywhere(random) * height, 20 + anywhere(random) * 80,
            anywhere(random) * 160 - 80};
  }
  const double phase = anywhere(random) * 6.28;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      double luma = 40 + 150.0 * (x + y) / (width + height) + 18 * std::sin(x * 0.31 + phase) * std::cos(y * 0.23);
      for (const Blob& blob : blobs) {
        const double dx = x - blob.x;
        const double dy = y - blob.y;
        luma += blob.strength * std::exp(-(dx * dx + dy * dy) / (blob.radius * blob.radius));
      }
      picture.y()[y * width + x] = toSample(luma + noise(random));
    }
  }
  for (int y = 0; y < height / 2; ++y) {
    for (int x = 0; x < width / 2; ++x) {
      const int at = y * (width / 2) + x;
      picture.cb()[at] =
          toSample(128 + 50 * std::sin(x * 0.02 + phase) + 12 * std::sin(x * 0.4 + y * 0.3) + noise(random));
      picture.cr()[at] =
          toSample(128 + 50 * std::cos(y * 0.03 - phase) + 12 * std::cos(x * 0.35 - y * 0.25) + noise(random));
    }
  }
  return picture;
}

struct SwsFree {
  void operator()(SwsContext* context) const { sws_freeContext(context); }
};
using SwsPtr = std::unique_ptr<SwsContext, SwsFree>;

// libswscale's unscaled conversion of full-range yuv420p on one thread.
SwsPtr makeSwsConverter(int width, int height, Rgb format) {
  SwsPtr context(sws_alloc_context());
  if (!context) {
    return {};
  }
  const AVPixelFormat destFormat = format == Rgb::Bgra ? AV_PIX_FMT_BGRA : AV_PIX_FMT_BGR24;
  const bool set =
      av_opt_set_int(context.get(), "srcw", width, 0) >= 0 && av_opt_set_int(context.get(), "srch", height, 0) >= 0 &&
      av_opt_set_int(context.get(), "src_format", AV_PIX_FMT_YUV420P, 0) >= 0 &&
      av_opt_set_int(context.get(), "src_range", 1, 0) >= 0 && av_opt_set_int(context.get(), "dstw", width, 0) >= 0 &&
      av_opt_set_int(context.get(), "dsth", height, 0) >= 0 &&
      av_opt_set_int(context.get(), "dst_format", destFormat, 0) >= 0 &&
      av_opt_set_int(context.get(), "sws_flags", SWS_POINT, 0) >= 0 &&
      av_opt_set_int(context.get(), "threads", 1, 0) >= 0;
  if (!set || sws_init_context(context.get(), nullptr, nullptr) < 0) {
    return {};
  }
  return context;
}

// Converts one picture into dest, rows of width pixels back to back.
using Converter = std::function<void(const YuvPicture&, std::uint8_t* dest)>;

Converter swsConverter(Rgb format, int height) {
  std::shared_ptr<SwsContext> context = makeSwsConverter(kWidth, height, format);
  if (!context) {
    return {};
  }
  return [context, format](const YuvPicture& picture, std::uint8_t* dest) {
    const std::uint8_t* const source[3] = {picture.y(), picture.cb(), picture.cr()};
    const int sourceStrides[3] = {picture.width, picture.width / 2, picture.width / 2};
    const int rowBytes = picture.width * bytesOf(format);
    // A DIB's rows run bottom-up: start at the last row, step backwards.
    std::uint8_t* const destRows[1] = {
        format == Rgb::Bgra ? dest : dest + static_cast<std::ptrdiff_t>(picture.height - 1) * rowBytes};
    const int destStrides[1] = {format == Rgb::Bgra ? rowBytes : -rowBytes};
    sws_scale(context.get(), source, sourceStrides, 0, picture.height, destRows, destStrides);
  };
}

Converter libyuvConverter(Rgb format) {
  const auto convert = format == Rgb::Bgra ? libyuv::J420ToARGB : libyuv::J420ToRGB24;
  return [convert, format](const YuvPicture& picture, std::uint8_t* dest) {
    const int half = picture.width / 2;
    convert(picture.y(), picture.width, picture.cb(), half, picture.cr(), half, dest, picture.width * bytesOf(format),
            picture.width, picture.height);
  };
}

Converter oursConverter(Rgb format) {
  const auto convert = format == Rgb::Bgra ? marlin::ToRgb32 : marlin::ToDib24;
  return [convert](const YuvPicture& picture, std::uint8_t* dest) {
    convert(dest, picture.data.data(), picture.width, picture.height);
  };
}

struct Sequence {
  int height = 0;
  std::string label;  // "640x224"
  std::vector<YuvPicture> pictures;
};

std::array<Sequence, 2> g_sequences;

// A pass converts every picture of the sequence into one buffer.
std::function<bool()> passOf(const Converter& convert, const Sequence& sequence, Bytes& out) {
  return [&convert, &sequence, &out]() {
    for (const YuvPicture& picture : sequence.pictures) {
      convert(picture, out.data());
    }
    benchmark::DoNotOptimize(out.data());
    return true;
  };
}

struct Pairing {
  const char* ratioName;
  std::function<Converter(Rgb, int height)> makeReference;
};

void BM_Paired(benchmark::State& state, const Sequence* sequence, Rgb format, const Pairing* pairing,
               const marlin::colour::Kernel* kernel) {
  if (kernel != nullptr) {
    marlin::colour::selectKernel(*kernel);
  }
  const Converter reference = pairing->makeReference(format, sequence->height);
  const Converter measured =
      kernel != nullptr ? oursConverter(format) : pairing->makeReference(format, sequence->height);
  if (!reference || !measured) {
    state.SkipWithError("cannot set up the reference conversion");
    return;
  }
  Bytes referenceOut(static_cast<std::size_t>(kWidth) * sequence->height * 4);
  Bytes out(referenceOut.size());
  PairedReference paired;
  const auto referencePass = passOf(reference, *sequence, referenceOut);
  const auto measuredPass = passOf(measured, *sequence, out);
  for (auto _ : state) {
    paired.pass(state, referencePass);
    const auto begin = PairedReference::Clock::now();
    measuredPass();
    paired.own(PairedReference::secondsSince(begin));
  }
  paired.report(state, pairing->ratioName, kPictures);
}

// How far each reference's bytes are from ours on the first picture, so the
// comparison is seen to be of like work. libyuv's rows run top-down and its
// fourth byte is 255.
void compareConversions(const Sequence& sequence, Rgb format, const char* name, const Converter& reference,
                        bool topDown) {
  const YuvPicture& picture = sequence.pictures.front();
  const int bytes = bytesOf(format);
  const std::size_t rowBytes = static_cast<std::size_t>(picture.width) * bytes;
  Bytes ours(rowBytes * picture.height);
  Bytes theirs(ours.size());
  oursConverter(format)(picture, ours.data());
  reference(picture, theirs.data());
  int largest = 0;
  double total = 0;
  double counted = 0;
  for (int row = 0; row < picture.height; ++row) {
    const int theirRow = topDown && format == Rgb::Bgr24BottomUp ? picture.height - 1 - row : row;
    for (std::size_t i = 0; i < rowBytes; ++i) {
      if (bytes == 4 && i % 4 == 3) {
        continue;
      }
      const int d = std::abs(ours[row * rowBytes + i] - theirs[theirRow * rowBytes + i]);
      largest = std::max(largest, d);
      total += d;
      ++counted;
    }
  }
  std::fprintf(stderr, "%s %s vs %s: mean |difference| %.3f, largest %d\n", sequence.label.c_str(), nameOf(format),
               name, total / counted, largest);
}

const Pairing kLibyuv{"vs_libyuv", [](Rgb format, int) { return libyuvConverter(format); }};
const Pairing kSwscale{"vs_swscale", swsConverter};

void registerBenchmarks(const Sequence& sequence) {
  const auto add = [](const std::string& name, auto&&... arguments) {
    benchmark::RegisterBenchmark(name.c_str(), arguments...)->Unit(benchmark::kMicrosecond)->UseRealTime();
  };
  for (const Rgb format : {Rgb::Bgra, Rgb::Bgr24BottomUp}) {
    for (const auto& [referenceName, pairing] : {std::pair{"libyuv", &kLibyuv}, std::pair{"swscale", &kSwscale}}) {
      const std::string prefix = std::string(nameOf(format)) + "/" + sequence.label + "/";
      add(prefix + referenceName + "_self", BM_Paired, &sequence, format, pairing, nullptr);
      for (const marlin::colour::Kernel* kernel : marlin::colour::supportedKernels()) {
        add(prefix + kernel->name + "/" + referenceName, BM_Paired, &sequence, format, pairing, kernel);
      }
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
    return 2;
  }
  const int heights[] = {224, 272};
  for (std::size_t i = 0; i < g_sequences.size(); ++i) {
    Sequence& sequence = g_sequences[i];
    sequence.height = heights[i];
    sequence.label = std::to_string(kWidth) + "x" + std::to_string(heights[i]);
    for (int p = 0; p < kPictures; ++p) {
      sequence.pictures.push_back(cameraLikePicture(kWidth, heights[i], static_cast<unsigned>(17 * i + p)));
    }
    for (const Rgb format : {Rgb::Bgra, Rgb::Bgr24BottomUp}) {
      compareConversions(sequence, format, "libyuv", libyuvConverter(format), true);
      const Converter sws = swsConverter(format, heights[i]);
      if (!sws) {
        std::fprintf(stderr, "cannot set up libswscale\n");
        return 1;
      }
      compareConversions(sequence, format, "swscale", sws, false);
    }
  }
  benchmark::AddCustomContext("libyuv", std::to_string(LIBYUV_VERSION));
  benchmark::AddCustomContext("libswscale", std::to_string(AV_VERSION_MAJOR(swscale_version())) + "." +
                                                std::to_string(AV_VERSION_MINOR(swscale_version())));
  for (const Sequence& sequence : g_sequences) {
    registerBenchmarks(sequence);
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
