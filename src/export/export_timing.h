#pragma once

#include <cstdint>

#include "base/codec_ids.h"

namespace marlin {

// The frame rate of an exported file: rate / scale frames a second.
struct StreamRate {
  std::uint32_t rate = 30;
  std::uint32_t scale = 1;

  bool operator==(const StreamRate&) const = default;
};

// The rate of one channel's pictures as the recorder took them: the field
// rate (25 or 50 for PAL's 272-line fields, 30 or 60 otherwise; the doubled
// rates for every codec but 0 and 2) shared by the channels of the block's
// mask, each picture lasting frameInterval + 1 periods.
StreamRate recordedVideoRate(int fieldHeight, CodecVariant codecIndex, std::uint8_t frameInterval,
                             std::uint16_t channelMask);

// With sound, a file's pictures are spread over the sound's duration, so the
// two stay together however unevenly the recorder took pictures: videoFrames
// over audioBytes / sampleRate seconds (8-bit samples), in thousandths.
// Nothing to pace by without sound bytes or pictures: the rate is returned
// as fallback.
StreamRate soundPacedRate(std::uint64_t videoFrames, std::uint64_t audioBytes, std::uint32_t sampleRate,
                          StreamRate fallback);

}  // namespace marlin
