// Fuzz target for finding a date and time in a recording: the bisection over block times, and the text a user
// types the time as.
//
// Input layout:
//   [0] flags   bit 0: well-formed recording, whose answer the time-order model gives; bit 1: the disk has
//               wrapped around; bit 2: the bytes after the preamble are also a typed date and time
//   [1..2] the time looked up, in seconds from the first block's time (little-endian, less 2)
//   [3..4] where a wrapped disk's oldest block is (little-endian, modulo the block count)
//   then one byte per block: bit 7 marks the block invalid; a well-formed recording's times rise by the low two
//   bits, any other's jump by the low seven bits times 1000 seconds either way.
//
// Every answer must name a valid block that holds the time it reports, on the right side of the time looked up,
// and count every block read; a well-formed recording's answer must be the model's.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string_view>
#include <vector>

#include "base/calendar.h"
#include "source/container.h"
#include "source/time_search.h"
#include "support/time_order_model.h"

namespace {

using marlin::BlockTimes;
using marlin::TimeMatch;
using marlin::TimeSearchResult;
using marlin::container::kBlockSize;

constexpr std::size_t kPreambleSize = 5;
constexpr std::uint32_t kFirstTime = 1262304000;  // 2010-01-01 00:00:00 UTC

enum Flag : std::uint8_t { kWellFormed = 1u << 0, kWrapped = 1u << 1, kTypedTime = 1u << 2 };

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "time_search_fuzz: %s\n", what);
  std::fflush(stderr);
  std::abort();
}

void check(bool holds, const char* what) {
  if (!holds) {
    fail(what);
  }
}

class ListedBlockTimes : public BlockTimes {
 public:
  explicit ListedBlockTimes(const std::vector<std::optional<std::uint32_t>>& times) : times_(times) {}

  std::uint64_t blockCount() const override { return times_.size(); }
  std::optional<std::uint32_t> timeOf(std::uint64_t index) override {
    check(index < times_.size(), "read past the last block");
    ++reads_;
    return times_[index];
  }
  std::uint64_t reads() const { return reads_; }

 private:
  const std::vector<std::optional<std::uint32_t>>& times_;
  std::uint64_t reads_ = 0;
};

// A recording as a recorder writes it: times rising, and invalid stretches shorter than the reach that a search
// takes for a never-written end. A wrapped disk's newer run starts later than its older run ends, so that the
// drop is where the time order restarts.
marlin::testing::TimeOrderModel wellFormed(const std::uint8_t* blocks, std::size_t count, bool wrapped,
                                           std::size_t drop) {
  std::vector<bool> invalid(count);
  std::uint64_t invalidRun = 0;
  for (std::size_t n = 0; n < count; ++n) {
    invalid[n] = (blocks[n] & 0x80u) != 0 && invalidRun + 1 < marlin::kUnwrittenReach;
    invalidRun = invalid[n] ? invalidRun + 1 : 0;
  }
  marlin::testing::TimeOrderModel model{std::vector<std::optional<std::uint32_t>>(count), wrapped ? drop : 0};
  std::uint32_t time = kFirstTime;
  for (std::size_t n = 0; n < count; ++n) {
    const std::size_t index = (model.drop + n) % count;
    time += blocks[index] & 3u;
    if (n != 0 && index == 0) {
      time += 1;
    }
    if (!invalid[index]) {
      model.times[index] = time;
    }
  }
  return model;
}

std::vector<std::optional<std::uint32_t>> anyTimes(const std::uint8_t* blocks, std::size_t count) {
  std::vector<std::optional<std::uint32_t>> times(count);
  std::uint32_t time = kFirstTime;
  for (std::size_t n = 0; n < count; ++n) {
    const std::uint32_t jump = (blocks[n] & 0x3Fu) * 1000u;
    time = (blocks[n] & 0x40u) != 0 ? time - jump : time + jump;
    if ((blocks[n] & 0x80u) == 0) {
      times[n] = time;
    }
  }
  return times;
}

void checkAnswer(const std::vector<std::optional<std::uint32_t>>& times, std::uint32_t time,
                 const TimeSearchResult& found) {
  check(found.position % kBlockSize == 0, "position inside a block");
  const std::uint64_t block = found.position / kBlockSize;
  check(block <= times.size(), "position past the end");
  switch (found.match) {
    case TimeMatch::AtOrAfter:
    case TimeMatch::BeforeOldest:
      check(block < times.size() && times[block].has_value(), "answer is not a valid block");
      check(*times[block] == found.blockTime, "reported time is not the block's");
      check(found.blockTime >= time, "answer earlier than the time looked up");
      break;
    case TimeMatch::AfterNewest:
      check(block > 0 && times[block - 1].has_value(), "newest block is not a valid block");
      check(*times[block - 1] == found.blockTime, "reported time is not the newest block's");
      check(found.blockTime < time, "newest block not earlier than the time looked up");
      break;
    case TimeMatch::NoValidBlock:
      check(found.position == 0, "no valid block, yet a position");
      break;
  }
}

// Text that reads as a date and time must be written back as the same text.
void checkTypedTime(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::optional<marlin::CalendarTime> parsed = marlin::parseCalendarTime(text);
  if (parsed) {
    check(marlin::formatCalendarTime(*parsed) == text, "typed time does not read back as typed");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < kPreambleSize) {
    return 0;
  }
  const std::uint8_t flags = data[0];
  const std::uint32_t offset = data[1] | (data[2] << 8);
  const std::size_t dropByte = data[3] | (data[4] << 8);
  const std::uint8_t* blocks = data + kPreambleSize;
  const std::size_t count = size - kPreambleSize;
  if ((flags & kTypedTime) != 0) {
    checkTypedTime(blocks, count);
  }
  const std::uint32_t time = kFirstTime + offset - 2;

  if ((flags & kWellFormed) != 0 && count > 0) {
    const marlin::testing::TimeOrderModel model = wellFormed(blocks, count, (flags & kWrapped) != 0, dropByte % count);
    ListedBlockTimes listed(model.times);
    const TimeSearchResult found = marlin::searchBlockTimes(listed, time);
    const TimeSearchResult wanted = model.lookUp(time);
    check(found.match == wanted.match, "match differs from the model's");
    check(found.position == wanted.position, "position differs from the model's");
    check(found.blockTime == wanted.blockTime, "block time differs from the model's");
    check(found.blockReads == listed.reads(), "block reads miscounted");
    return 0;
  }
  const std::vector<std::optional<std::uint32_t>> times = anyTimes(blocks, count);
  ListedBlockTimes listed(times);
  const TimeSearchResult found = marlin::searchBlockTimes(listed, time);
  checkAnswer(times, time, found);
  check(found.blockReads == listed.reads(), "block reads miscounted");
  return 0;
}
