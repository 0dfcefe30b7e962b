#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "base/status.h"
#include "source/block_reading.h"
#include "source/time_search.h"

namespace marlin::desktop {

// Time look-ups in a recording that open it afresh each time, so that a
// dialog can run them on a worker thread while a disk spins up.

struct TimeLookup {
  Status status;
  TimeSearchResult found;
};

TimeLookup lookUpTime(const std::string& path, BlockLayout layout, std::uint32_t time);

// The block times of a recording's oldest and newest valid blocks; empty
// when it holds none.
struct RecordingSpan {
  Status status;
  std::optional<std::uint32_t> first;
  std::optional<std::uint32_t> last;
};

RecordingSpan lookUpSpan(const std::string& path, BlockLayout layout);

// The bytes [start, end) recorded from the local time from to the local time
// to, both included; end 0 stands for the end of the recording. A time that
// lies outside the recording fails, saying so.
struct ByteRange {
  std::uint64_t start = 0;
  std::uint64_t end = 0;
};
Status findTimeRange(const std::string& path, BlockLayout layout, std::uint32_t from, std::uint32_t to,
                     ByteRange& range);

// "Recording: <first> – <last>" in local time, or why there is no span.
std::string spanText(const RecordingSpan& span);

}  // namespace marlin::desktop
