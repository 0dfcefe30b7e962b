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
  current_.bytes.reset(allocateSpan(capacity_));
}

Status BlockSpan::fill(const BlockFile& file, std::uint64_t blockStart, ReadAhead direction, std::uint64_t dataEnd,
                       bool swapPairs) {
  const bool onward = carriesOn(blockStart, direction);
  filled_ = false;
  if (worker_.pending()) {
    worker_.wait();
    if (nextRead_ && next_.find(blockStart) != nullptr) {
      std::swap(current_, next_);
      filled_ = true;
      lastDirection_ = direction;
      if (onward) {
        prefetchNext(file, direction, dataEnd, swapPairs);
      }
      return Status::ok();
    }
  }
  const std::uint64_t blockEnd = blockStart + kBlockSize;
  std::uint64_t first = blockStart;
  std::uint64_t end = blockEnd;
  if (direction == ReadAhead::Forward) {
    end = std::max(std::min(blockStart + capacity_, container::blockStartOf(dataEnd)), blockEnd);
  } else {
    first = blockEnd - std::min<std::uint64_t>(capacity_, blockEnd);
  }
  Status read = readRun(file, current_, first, end, swapPairs);
  if (!read && end - first > kBlockSize) {
    read = readRun(file, current_, blockStart, blockEnd, swapPairs);
    current_.cut = true;
  }
  if (!read) {
    return read;
  }
  filled_ = true;
  lastDirection_ = direction;
  if (onward) {
    prefetchNext(file, direction, dataEnd, swapPairs);
  }
  return read;
}

void BlockSpan::clear() {
  worker_.wait();
  current_.length = 0;
  next_.length = 0;
  filled_ = false;
}

bool BlockSpan::carriesOn(std::uint64_t blockStart, ReadAhead direction) const {
  if (!filled_ || direction != lastDirection_ || current_.cut) {
    return false;
  }
  return direction == ReadAhead::Forward ? blockStart == current_.start + current_.length
                                         : blockStart + kBlockSize == current_.start;
}

void BlockSpan::prefetchNext(const BlockFile& file, ReadAhead direction, std::uint64_t dataEnd, bool swapPairs) {
  // A span cut short by the end of the file is where a growing recording's
  // next blocks will appear: they are read when asked for, not guessed at.
  if (current_.cut) {
    return;
  }
  std::uint64_t first = current_.start + current_.length;
  std::uint64_t end = std::min(first + capacity_, container::blockStartOf(dataEnd));
  if (direction == ReadAhead::Backward) {
    end = current_.start;
    first = end - std::min<std::uint64_t>(capacity_, end);
  }
  if (end <= first) {
    return;
  }
  if (!next_.bytes) {
    next_.bytes.reset(allocateSpan(capacity_));
  }
  next_.length = 0;
  worker_.post([this, &file, first, end, swapPairs] { nextRead_ = readRun(file, next_, first, end, swapPairs); });
}

Status BlockSpan::readRun(const BlockFile& file, Run& run, std::uint64_t first, std::uint64_t end,
                          bool swapPairs) {
  run.length = 0;
  run.cut = true;
  std::size_t got = 0;
  if (Status read = file.readAt(first, run.bytes.get(), end - first, got); !read) {
    return read;
  }
  run.start = first;
  run.length = got - got % kBlockSize;
  run.cut = got < end - first;
  if (swapPairs) {
    swapBytePairs(run.bytes.get(), run.length);
  }
  return Status::ok();
}

}  // namespace marlin
