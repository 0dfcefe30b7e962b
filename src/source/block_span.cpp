#include "source/block_span.h"

#include <algorithm>
#include <cstdlib>
#include <new>

#include "source/byte_order.h"
#include "source/container.h"

namespace marlin {

using container::kBlockSize;

namespace {

// Page-aligned, so the kernel copies into the span at full width.
constexpr std::size_t kSpanAlignment = 4096;

std::uint8_t* allocateSpan(std::size_t bytes) {
  void* memory = std::aligned_alloc(kSpanAlignment, bytes);
  if (memory == nullptr) {
    throw std::bad_alloc();
  }
  return static_cast<std::uint8_t*>(memory);
}

}  // namespace

void BlockSpan::FreeBytes::operator()(std::uint8_t* bytes) const { std::free(bytes); }

BlockSpan::BlockSpan(std::size_t capacity) : capacity_(std::max(capacity - capacity % kBlockSize, kBlockSize)) {
  bytes_.reset(allocateSpan(capacity_));
}

Status BlockSpan::fill(const BlockFile& file, std::uint64_t blockStart, ReadAhead direction, std::uint64_t dataEnd,
                       bool swapPairs) {
  const std::uint64_t blockEnd = blockStart + kBlockSize;
  std::uint64_t first = blockStart;
  std::uint64_t end = blockEnd;
  if (direction == ReadAhead::Forward) {
    end = std::max(std::min(blockStart + capacity_, container::blockStartOf(dataEnd)), blockEnd);
  } else {
    first = blockEnd - std::min<std::uint64_t>(capacity_, blockEnd);
  }
  Status read = readRun(file, first, end, swapPairs);
  if (!read && end - first > kBlockSize) {
    read = readRun(file, blockStart, blockEnd, swapPairs);
  }
  return read;
}

Status BlockSpan::readRun(const BlockFile& file, std::uint64_t first, std::uint64_t end, bool swapPairs) {
  length_ = 0;
  std::size_t got = 0;
  if (Status read = file.readAt(first, bytes_.get(), end - first, got); !read) {
    return read;
  }
  start_ = first;
  length_ = got - got % kBlockSize;
  if (swapPairs) {
    swapBytePairs(bytes_.get(), length_);
  }
  return Status::ok();
}

}  // namespace marlin
