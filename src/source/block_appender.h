#pragma once

#include <cstddef>
#include <cstdint>

#include "source/block_header.h"

namespace marlin {

// Destination of container bytes; write returns false when not all bytes
// could be written.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual bool write(const std::uint8_t* data, std::size_t n) = 0;
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

  bool append(const std::uint8_t* data, std::size_t n, std::uint8_t frameInterval);

  // Zero bytes up to the next block boundary.
  bool padToBlock();

  std::uint64_t written() const { return written_; }

 private:
  bool put(const std::uint8_t* data, std::size_t n);

  ByteSink& sink_;
  BlockHeaderBytes header_{};
  std::uint64_t written_ = 0;
};

}  // namespace marlin
