#pragma once

#include <cstdint>

namespace marlin {

// The PCM description handed to the sound device, field for field the
// Windows WAVEFORMATEX.
struct WaveFormat {
  std::uint16_t formatTag;
  std::uint16_t channels;
  std::uint32_t samplesPerSec;
  std::uint32_t avgBytesPerSec;
  std::uint16_t blockAlign;
  std::uint16_t bitsPerSample;
  std::uint16_t cbSize;
};

}  // namespace marlin
