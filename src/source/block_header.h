#pragma once

#include <array>
#include <cstdint>

namespace marlin {

// The 8 bytes at the start of every container block.
struct BlockHeader {
  std::uint32_t time = 0;          // seconds since 1970 UTC when the block was begun
  std::uint16_t channelMask = 0;   // bit n: camera channel n is recorded
  std::uint8_t frameInterval = 0;  // low 7 bits: base frame periods per frame, minus one
  bool checkValid = false;         // the stored check byte matches bytes 0-6
};

using BlockHeaderBytes = std::array<std::uint8_t, 8>;

// bigEndian applies to time and channelMask only (codec variant 6).
BlockHeader parseBlockHeader(const std::uint8_t* bytes, bool bigEndian);

// Header bytes with the check byte filled in; frameInterval is masked to 7 bits.
BlockHeaderBytes encodeBlockHeader(std::uint32_t time, std::uint16_t channelMask, std::uint8_t frameInterval,
                                   bool bigEndian);

// Rewrites byte 6 and the check byte of a prepared header.
void setHeaderFrameInterval(BlockHeaderBytes& header, std::uint8_t frameInterval);

}  // namespace marlin
