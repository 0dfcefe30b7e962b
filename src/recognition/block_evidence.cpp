#include "recognition/block_evidence.h"

#include <algorithm>
#include <cstring>

#include "source/block_header.h"
#include "source/byte_order.h"
#include "source/container.h"

namespace marlin {

namespace {

// A recorder begins a block at most this long after the one before, while
// it records; read in the wrong field order the same times step by 2^16
// seconds or more, or back.
constexpr std::int64_t kLongestForwardStep = 3600;

BlockHeaderBytes headerBytesOf(const std::uint8_t* block, BlockByteOrder order) {
  BlockHeaderBytes header{};
  std::memcpy(header.data(), block, header.size());
  if (order == BlockByteOrder::Disk) {
    swapBytePairs(header.data(), header.size());
  }
  return header;
}

// How many steps from one valid block's time to the next valid block's run
// forward by at most kLongestForwardStep, with the fields read in order.
std::size_t forwardSteps(std::span<const std::uint8_t> leading, BlockByteOrder byteOrder, HeaderByteOrder order) {
  std::size_t forward = 0;
  std::optional<std::uint32_t> previous;
  for (std::size_t at = 0; at + container::kBlockSize <= leading.size(); at += container::kBlockSize) {
    const BlockHeaderBytes bytes = headerBytesOf(leading.data() + at, byteOrder);
    const BlockHeader header = parseBlockHeader(bytes.data(), order == HeaderByteOrder::Big);
    if (!header.checkValid) {
      continue;
    }
    if (previous) {
      const std::int64_t step = static_cast<std::int64_t>(header.time) - *previous;
      forward += step >= 0 && step <= kLongestForwardStep ? 1 : 0;
    }
    previous = header.time;
  }
  return forward;
}

}  // namespace

BlockEvidence weighBlocks(std::span<const std::uint8_t> leading, std::optional<BlockByteOrder> forcedOrder) {
  BlockEvidence evidence;
  if (forcedOrder) {
    evidence.byteOrder = *forcedOrder;
  } else {
    const std::size_t asStored = validBlocks(leading, BlockByteOrder::File);
    const std::size_t swapped = validBlocks(leading, BlockByteOrder::Disk);
    evidence.byteOrder = swapped > asStored ? BlockByteOrder::Disk : BlockByteOrder::File;
    evidence.byteOrderShown = std::max(asStored, swapped) > std::min(asStored, swapped);
  }
  const std::size_t little = forwardSteps(leading, evidence.byteOrder, HeaderByteOrder::Little);
  const std::size_t big = forwardSteps(leading, evidence.byteOrder, HeaderByteOrder::Big);
  evidence.headerOrder = big > little ? HeaderByteOrder::Big : HeaderByteOrder::Little;
  evidence.headerOrderShown = big != little;
  return evidence;
}

std::size_t validBlocks(std::span<const std::uint8_t> leading, BlockByteOrder order) {
  std::size_t valid = 0;
  for (std::size_t at = 0; at + container::kBlockSize <= leading.size(); at += container::kBlockSize) {
    valid += parseBlockHeader(headerBytesOf(leading.data() + at, order).data(), false).checkValid ? 1 : 0;
  }
  return valid;
}

}  // namespace marlin
