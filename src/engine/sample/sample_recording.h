#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "base/codec_ids.h"
#include "engine/sample/motion_schedule.h"
#include "source/block_appender.h"

namespace marlin::sample {

struct SampleOptions {
  unsigned channels = 4;  // 1..16
  unsigned seconds = 10;
  int height = 224;          // 224 or 272
  bool audio = false;        // an 8000 Hz tone as audio frames, coded as the variant's recorder codes sound
  bool conditional = false;  // conditional pictures between refresh pictures
  CodecVariant variant = 4;
  int quality = 3;
  std::uint32_t startTime = 1262347200;  // 2010-01-01 12:00:00 UTC
  // With either of these, motion whose truth is known: every channel shows
  // its still scene, a box moves in it during the spans of its channel
  // (which must not overlap) and nothing moves otherwise.
  std::vector<MotionSpan> motion;
  double noiseSigma = 0.0;  // sensor noise on every luma sample, 0 to 10
};

inline constexpr int kSamplePictureWidth = 640;

// The time from one picture of the recording to the next, whichever
// channels they are of.
double samplePictureSeconds(const SampleOptions& options);

using SampleProgress = std::function<void(std::uint64_t done, std::uint64_t total)>;

// Writes a recording of the channels' pictures in turn into sink, block by
// block as it is made: block times advance in real time from startTime,
// frame interval and channel mask as a DVR fills them. The same options
// always give the same bytes. progress is called once per picture. Fails as
// the sink did when it refused bytes.
Status writeSampleRecording(const SampleOptions& options, ByteSink& sink, const SampleProgress& progress = {});

// The same recording in memory.
std::vector<std::uint8_t> makeSampleRecording(const SampleOptions& options);

}  // namespace marlin::sample
