#pragma once

#include <cstdint>

namespace marlin {

// The video format of an AVI stream as a bitmap header describes it. The
// writer takes 24-bit bottom-up B, G, R images whose rows are padded to
// 4 bytes, as every bitmap's are.
struct AviVideoFormat {
  int width = 640;
  int height = 224;
  int bitCount = 24;
  // Bytes of one image; 0 lets the writer take the padded rows' size.
  std::uint32_t imageSize = 430080;
};

// The sound format of an AVI stream as a wave format header describes it.
struct AviAudioFormat {
  std::uint16_t formatTag = 1;  // 1: PCM
  std::uint16_t channels = 1;
  std::uint32_t samplesPerSecond = 8000;
  std::uint32_t avgBytesPerSecond = 8000;
  std::uint16_t blockAlign = 1;
  std::uint16_t bitsPerSample = 8;
};

inline constexpr std::uint16_t kWaveFormatPcm = 1;
inline constexpr std::uint16_t kWaveFormatALaw = 6;

// Bytes of one bitmap row: rows start on 4-byte boundaries whatever the width.
std::uint32_t dibRowBytes(int width, int bitCount);
std::uint32_t dibImageBytes(int width, int height, int bitCount);

}  // namespace marlin
