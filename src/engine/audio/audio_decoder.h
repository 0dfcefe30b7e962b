#pragma once

#include <cstdint>

#include "platform/wave_format.h"

namespace marlin {

// The configured audio codec (1-6, see kAudioCodecNames) and sample rate: the
// wave format the sound device is opened with, and each frame turned into
// that format's PCM.
class AudioDecoder {
 public:
  // Stores codec and rate; fills out with mono PCM (16-bit for codecs 3-6,
  // else 8-bit) and returns 1, or returns 0 when out is null.
  int setFormat(int codec, int sampleRate, WaveFormat* out);

  // Writes length bytes (codecs 1-4) or 2 x length bytes (5 and 6, 16-bit
  // little-endian samples) to out; nothing for an unknown codec. Returns 1.
  int convert(const std::uint8_t* data, std::uint32_t length, std::uint8_t* out, std::uint32_t& outLength) const;

  int codec() const { return codec_; }
  int sampleRate() const { return sampleRate_; }

 private:
  int codec_ = 1;
  int sampleRate_ = 8000;
};

}  // namespace marlin
