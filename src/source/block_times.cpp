#include "source/block_times.h"

namespace marlin {

std::optional<std::uint32_t> RecordingBlockTimes::timeOf(std::uint64_t index) {
  BlockHeader header;
  if (readBlock(file_, index * container::kBlockSize, layout_, block_.data(), header) != BlockRead::Valid) {
    return std::nullopt;
  }
  return header.time;
}

}  // namespace marlin
