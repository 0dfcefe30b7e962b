#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/status.h"
#include "source/block_header.h"

namespace marlin {

// Destination of container bytes; write fails when not all bytes could be
// written.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual Status write(const std::uint8_t* data, std::size_t n) = 0;
};

// Collects container bytes in memory.
class MemorySink final : public ByteSink {
 public:
  Status write(const std::uint8_t* data, std::size_t n) override {
    bytes.insert(bytes.end(), data, data + n);
    return Status::ok();
  }
  std::vector<std::uint8_t> bytes;
};

// Lays a byte stream into container blocks: whenever the write position
// reaches a block boundary a header goes first, so that every 4096-byte block
// is one header and 4088 payload bytes and frames run on from block to block.
class BlockAppender {
 public:
  explicit BlockAppender(ByteSink& sink) : sink_(sink) {}

  void restart() { written_ = 0; }

  // Time and channel mask for the headers written until the next call.
  void setHeader(std::uint32_t time, std::uint16_t channelMask, bool bigEndian);

  Status append(const std::uint8_t* data, std::size_t n, std::uint8_t frameInterval);

  // Zero bytes up to the next block boundary.
  Status padToBlock();

  std::uint64_t written() const { return written_; }

 private:
  Status put(const std::uint8_t* data, std::size_t n);

  ByteSink& sink_;
  BlockHeaderBytes header_{};
  std::uint64_t written_ = 0;
};

}  // namespace marlin
