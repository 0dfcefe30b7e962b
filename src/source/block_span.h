#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "base/status.h"
#include "platform/block_file.h"
#include "platform/job_worker.h"

namespace marlin {

// Which way a reader is heading when it asks for a block: the blocks read
// with it are the ones it will ask for next.
enum class ReadAhead { Forward, Backward };

// A run of whole blocks read with one positional read, so that a reader
// going block by block makes one system call per span instead of one per
// block. Holds only whole blocks: the piece of a block at the end of a file
// that is still being written is read again when it is asked for, so that
// a growing recording shows its new blocks.
//
// Once two fills in a row carry on where the one before ended, the span
// after the current one is read on a worker thread while the current one is
// scanned, into a second buffer that the next fill takes over. Random jumps
// never start such a read.
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
  const std::uint8_t* find(std::uint64_t blockStart) const { return current_.find(blockStart); }

  // Replaces the span by the blocks around blockStart that a reader heading
  // that way needs next: from blockStart on, or up to and including it. Read
  // ahead stops at dataEnd (rounded down to a block) but never excludes
  // blockStart itself; swapPairs stores them with the bytes of each 16-bit word
  // exchanged. When the long read fails, the block alone is read, so that a
  // damaged stretch of a disk fails only the reads of its own blocks. Whether
  // blockStart came in whole is for find to say. file must stay open until
  // clear, as the worker may still be reading it.
  Status fill(const BlockFile& file, std::uint64_t blockStart, ReadAhead direction, std::uint64_t dataEnd,
              bool swapPairs);

  // Forgets every block, waiting for a read in progress on the worker, so
  // that the file can be closed afterwards.
  void clear();

 private:
  struct FreeBytes {
    void operator()(std::uint8_t* bytes) const;
  };
  struct Run {
    std::unique_ptr<std::uint8_t[], FreeBytes> bytes;
    std::uint64_t start = 0;
    std::size_t length = 0;
    // Less than asked for: the file ended, or the long read failed.
    bool cut = false;

    const std::uint8_t* find(std::uint64_t blockStart) const {
      return blockStart >= start && blockStart - start < length ? bytes.get() + (blockStart - start) : nullptr;
    }
  };

  static Status readRun(const BlockFile& file, Run& run, std::uint64_t first, std::uint64_t end, bool swapPairs);
  bool carriesOn(std::uint64_t blockStart, ReadAhead direction) const;
  void prefetchNext(const BlockFile& file, ReadAhead direction, std::uint64_t dataEnd, bool swapPairs);

  std::size_t capacity_;
  Run current_;
  // Filled by the worker; allocated with the first read ahead of time.
  Run next_;
  Status nextRead_ = Status::ok();
  // The direction of the last fill, while the span holds what it read.
  bool filled_ = false;
  ReadAhead lastDirection_ = ReadAhead::Forward;
  // Last, so that it is stopped before the buffers it writes go.
  JobWorker worker_;
};

}  // namespace marlin
