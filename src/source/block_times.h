#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "platform/block_file.h"
#include "source/block_reading.h"
#include "source/container.h"

namespace marlin {

// The time stamps of a recording's whole blocks, read one block at a time: all that a search by time looks at.
class BlockTimes {
 public:
  virtual ~BlockTimes() = default;
  virtual std::uint64_t blockCount() const = 0;
  // The time of block index, nothing when the block is invalid or cannot be read.
  virtual std::optional<std::uint32_t> timeOf(std::uint64_t index) = 0;
};

// The blocks of an open recording file, disk or disk image, each read whole with one positional read.
class RecordingBlockTimes : public BlockTimes {
 public:
  // size: the recording's size in bytes; a piece after the last whole block is no block.
  RecordingBlockTimes(const BlockFile& file, std::uint64_t size, BlockLayout layout)
      : file_(file), blockCount_(size / container::kBlockSize), layout_(layout) {}

  std::uint64_t blockCount() const override { return blockCount_; }
  std::optional<std::uint32_t> timeOf(std::uint64_t index) override;

 private:
  const BlockFile& file_;
  std::uint64_t blockCount_;
  BlockLayout layout_;
  std::array<std::uint8_t, container::kBlockSize> block_{};
};

}  // namespace marlin
