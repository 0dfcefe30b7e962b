#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "base/calendar.h"
#include "source/time_search.h"

namespace marlin {

// Dates and times as a person types and reads them: local standard time, the way block times are shown.

// The block time stamp whose local time is local; nothing for a day that does not exist or a time no stamp holds.
std::optional<std::uint32_t> blockTimeFromLocal(const CalendarTime& local);

// A block time stamp as "YYYY-MM-DD HH:MM:SS" local time.
std::string localTimeText(std::uint32_t blockTime);

// Why a time sought lies outside the recording, worded to follow the time as it was typed:
// " is before the recording, which starts at ...", " is after the recording, which ends at ...",
// ": the recording holds no block with a valid time". Empty when the search found a block at or after it.
std::string outsideRecordingText(const TimeSearchResult& found);

}  // namespace marlin
