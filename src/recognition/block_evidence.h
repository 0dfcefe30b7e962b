#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace marlin {

enum class BlockByteOrder { File, Disk };
enum class HeaderByteOrder { Little, Big };

// What the block headers at the start of a recording say about how to read it.
struct BlockEvidence {
  // The byte order under which more blocks pass their check byte; File when
  // none does either way.
  BlockByteOrder byteOrder = BlockByteOrder::File;
  bool byteOrderShown = false;  // some block is valid in the chosen order and more than in the other
  // The order of the header fields under which the valid blocks' times run
  // forward in small steps more often; Little when neither does.
  HeaderByteOrder headerOrder = HeaderByteOrder::Little;
  bool headerOrderShown = false;
};

// leading: the recording's first bytes, in file byte order; a piece after
// the last whole block is ignored. forcedOrder, when given, is taken as the
// byte order instead of being judged.
// How many of the whole blocks in leading pass their check read in order.
std::size_t validBlocks(std::span<const std::uint8_t> leading, BlockByteOrder order);

BlockEvidence weighBlocks(std::span<const std::uint8_t> leading, std::optional<BlockByteOrder> forcedOrder);

}  // namespace marlin
