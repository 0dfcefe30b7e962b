#include "source/block_reading.h"

#include "source/byte_order.h"
#include "source/container.h"

namespace marlin {

BlockRead readBlock(const BlockFile& file, std::uint64_t offset, BlockLayout layout, std::uint8_t* block,
                    BlockHeader& header) {
  std::size_t got = 0;
  if (!file.readAt(offset, block, container::kBlockSize, got) || got < container::kBlockSize) {
    return BlockRead::Short;
  }
  if (layout.isDisk) {
    swapBytePairs(block, container::kBlockSize);
  }
  header = parseBlockHeader(block, layout.bigEndian);
  return header.checkValid ? BlockRead::Valid : BlockRead::Bad;
}

}  // namespace marlin
