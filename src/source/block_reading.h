#pragma once

#include <cstdint>

#include "platform/block_file.h"
#include "source/block_header.h"

namespace marlin {

// How a recording stores its blocks: a DVR disk (or an image of one) swaps the bytes of every 16-bit word, and
// codec variant 6 writes the header fields big-endian.
struct BlockLayout {
  bool isDisk = false;
  bool bigEndian = false;
};

enum class BlockRead { Valid, Bad, Short };

// Reads the whole block at offset into block (kBlockSize bytes), in file byte order, and parses its header. A block
// that cannot be read in full (the end of the recording, a read error) is Short, one failing its check byte Bad.
BlockRead readBlock(const BlockFile& file, std::uint64_t offset, BlockLayout layout, std::uint8_t* block,
                    BlockHeader& header);

}  // namespace marlin
