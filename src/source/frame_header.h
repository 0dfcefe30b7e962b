#pragma once

#include <cstdint>

#include "base/calendar.h"

namespace marlin {

// What a stream source knows about the frame it delivered last and the block
// it read last.
struct FrameHeader {
  std::uint32_t length = 0;  // bytes delivered (audio: samples only)
  std::uint64_t start = 0;   // where the frame's start code begins, in either direction of reading
  bool isAudio = false;
  std::uint32_t channel = 0;           // video: low nibble of frame byte 4; audio: S - 0xFA
  std::uint32_t audioChannelMask = 0;  // audio channels met reading forward since open
  bool hasAudio = false;               // any audio frame delivered forward since open
  std::uint16_t channelMask = 0;       // of the last block read in full
  std::uint8_t frameInterval = 0;      // of the last block read in full, 7 bits
  CalendarTime blockTime;              // of the last valid block
};

}  // namespace marlin
