#include "source/recorded_channels.h"

#include <algorithm>
#include <array>
#include <bit>

#include "source/container.h"

namespace marlin {

std::uint16_t sampleChannelMask(const BlockFile& file, std::uint64_t size, BlockLayout layout) {
  const std::uint64_t blocks = size / container::kBlockSize;
  std::array<std::uint8_t, container::kBlockSize> block{};
  std::uint16_t mask = 0;
  const auto sample = [&](std::uint64_t index) {
    BlockHeader header;
    if (readBlock(file, index * container::kBlockSize, layout, block.data(), header) == BlockRead::Valid) {
      mask |= header.channelMask;
    }
  };
  const std::uint64_t leading = std::min(blocks, kLeadingSampledBlocks);
  for (std::uint64_t index = 0; index < leading; ++index) {
    sample(index);
  }
  const std::uint64_t rest = blocks - leading;
  const std::uint64_t spread = std::min(rest, kSpreadSampledBlocks);
  // The k-th of the spread samples sits at the start of the k-th equal part of the rest.
  for (std::uint64_t k = 0; k < spread; ++k) {
    sample(leading + k * rest / spread);
  }
  return mask;
}

int channelCountForMask(std::uint16_t mask) {
  const int highest = std::bit_width(mask) - 1;
  if (highest >= 9) {
    return 16;
  }
  if (highest >= 4) {
    return 9;
  }
  return 4;
}

}  // namespace marlin
