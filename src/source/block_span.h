#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "base/status.h"
#include "platform/block_file.h"

namespace marlin {

// Which way a reader is heading when it asks for a block: the blocks read
// with it are the ones it will ask for next.
enum class ReadAhead { Forward, Backward };

// A run of whole blocks read with one positional read, so that a reader
// going block by block makes one system call per span instead of one per
// block. Holds only whole blocks: the piece of a block at the end of a file
// that is still being written is read again when it is asked for, so that
// a growing recording shows its new blocks.
class BlockSpan {
 public:
  // 256 KiB stays well inside a core's second-level cache, so the bytes
  // copied in are still there when they are scanned. Reading whole recordings
  // from the page cache, 64 KiB spans were measurably slower and 1 MiB ones
  // no faster.
  static constexpr std::size_t kDefaultBytes = std::size_t{256} << 10;

  // capacity is rounded down to whole blocks, to one block at least.
  explicit BlockSpan(std::size_t capacity = kDefaultBytes);

  std::size_t capacity() const { return capacity_; }

  // The block at blockStart if the span holds the whole of it, else null.
  const std::uint8_t* find(std::uint64_t blockStart) const {
    return blockStart >= start_ && blockStart - start_ < length_ ? bytes_.get() + (blockStart - start_) : nullptr;
  }

  // Replaces the span by the blocks around blockStart that a reader heading
  // that way needs next: from blockStart on, or up to and including it. Read
  // ahead stops at dataEnd (rounded down to a block) but never excludes
  // blockStart itself; swapPairs stores them with the bytes of each 16-bit word
  // exchanged. When the long read fails, the block alone is read, so that a
  // damaged stretch of a disk fails only the reads of its own blocks. Whether
  // blockStart came in whole is for find to say.
  Status fill(const BlockFile& file, std::uint64_t blockStart, ReadAhead direction, std::uint64_t dataEnd,
              bool swapPairs);

  void clear() { length_ = 0; }

 private:
  Status readRun(const BlockFile& file, std::uint64_t first, std::uint64_t end, bool swapPairs);

  struct FreeBytes {
    void operator()(std::uint8_t* bytes) const;
  };
  std::unique_ptr<std::uint8_t[], FreeBytes> bytes_;
  std::size_t capacity_;
  std::uint64_t start_ = 0;
  std::size_t length_ = 0;
};

}  // namespace marlin
