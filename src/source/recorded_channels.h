#pragma once

#include <cstdint>

#include "platform/block_file.h"
#include "source/block_reading.h"

namespace marlin {

// Blocks read whole from the start of a recording, and spread evenly over the
// rest, to learn which cameras it holds without reading all of it.
inline constexpr std::uint64_t kLeadingSampledBlocks = 256;
inline constexpr std::uint64_t kSpreadSampledBlocks = 64;

// The cameras of a recording: the channel masks of the valid blocks among the
// first kLeadingSampledBlocks and kSpreadSampledBlocks more spread over the
// rest, OR-ed. A block failing its check byte adds nothing, whatever its mask.
std::uint16_t sampleChannelMask(const BlockFile& file, std::uint64_t size, BlockLayout layout);

// The recorder's channel count a mask needs: 4 up to channel 3 (and for an
// empty mask), 9 up to channel 8, 16 beyond.
int channelCountForMask(std::uint16_t mask);

}  // namespace marlin
