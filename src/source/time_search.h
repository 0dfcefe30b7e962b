#pragma once

#include <cstdint>

#include "base/status.h"
#include "platform/block_file.h"
#include "source/block_reading.h"
#include "source/block_times.h"

namespace marlin {

// Invalid blocks in a row that a search takes for the start of a never-written end.
inline constexpr std::uint64_t kUnwrittenReach = 16;

// Where a time falls among a recording's block times.
enum class TimeMatch {
  AtOrAfter,     // position: the first block whose time is at or after the time asked for
  BeforeOldest,  // every block is later: position is the oldest block
  AfterNewest,   // every block is earlier: position is the end of the newest block
  NoValidBlock,  // the recording holds no valid block: position 0
};

struct TimeSearchResult {
  TimeMatch match = TimeMatch::NoValidBlock;
  std::uint64_t position = 0;    // a byte position, always at a block boundary
  std::uint32_t blockTime = 0;   // the time of the block at position; of the newest block for AfterNewest
  std::uint32_t blockReads = 0;  // whole blocks read by this lookup
};

// Finds a time by bisection over the block times, which a recorder writes rising. The time is a block time stamp
// (seconds since 1970 UTC) rather than a calendar time, so that the search compares what the blocks hold; a front
// end turns the local date and time a user types ("2010-01-01 12:00:05", parseCalendarTime) into one with
// timestampFromCalendar and timeZoneBiasSeconds, the bias block times are shown with.
//
// Invalid blocks (a bad check byte, a time outside the span the blocks around them enclose, such as a stale block
// left from an earlier recording) are passed over for the nearest valid block. A disk that has wrapped around holds
// its newer run first: the times rise, drop once to the oldest, and rise again to the end; the drop is found by
// bisection too and the time is sought within the run that holds it. Positions in time order then wrap around the
// end of the disk: a range from a time in the older run to one in the newer crosses the end.
//
// A never-written end (a disk not yet full) is passed over by bisection too: a stretch of kUnwrittenReach invalid
// blocks is taken to begin it. A never-written start is read block by block.
TimeSearchResult searchBlockTimes(BlockTimes& blocks, std::uint32_t time);

// The same over an open recording; fails only when its size cannot be learnt.
Status findBlockAtTime(const BlockFile& file, BlockLayout layout, std::uint32_t time, TimeSearchResult& result);

}  // namespace marlin
