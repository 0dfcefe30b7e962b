#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "codec/yuv_picture.h"
#include "source/codec_ids.h"

namespace marlin::sample {

struct SampleOptions {
  unsigned channels = 4;     // 1..16
  unsigned seconds = 10;
  int height = 224;          // 224 or 272
  bool audio = false;        // an 8000 Hz 8-bit tone as audio frames
  bool conditional = false;  // conditional pictures between refresh pictures
  CodecVariant variant = 4;
  int quality = 3;
  std::uint32_t startTime = 1262347200;  // 2010-01-01 12:00:00 UTC
};

// Draws the sample content of one channel at a moment: a background of
// colour bars or a gradient that differs per channel, a ball moving across
// it, and the channel number drawn large.
void drawSamplePicture(YuvPicture& picture, unsigned channel, double seconds);

// A recording of the channels' pictures in turn, block times advancing in real
// time from startTime, frame interval and channel mask as a DVR fills them.
// The same options always give the same bytes. progress(done, total) is
// called once per picture.
std::vector<std::uint8_t> makeSampleRecording(const SampleOptions& options,
                                              const std::function<void(std::uint64_t, std::uint64_t)>& progress = {});

}  // namespace marlin::sample
