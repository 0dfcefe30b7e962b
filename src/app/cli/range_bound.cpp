#include "app/cli/range_bound.h"

#include <algorithm>
#include <cctype>

#include "base/calendar.h"
#include "platform/block_file.h"
#include "platform/time_zone.h"
#include "source/time_search.h"

namespace marlin::cli {

namespace {

std::string localTimeText(std::uint32_t blockTime) {
  return formatCalendarTime(calendarFromTimestamp(blockTime, timeZoneBiasSeconds()));
}

}  // namespace

std::uint64_t resolveRangeBound(const std::string& option, const std::string& value, const RecordingArgs& recording) {
  if (!value.empty() && value.size() <= 19 &&
      std::all_of(value.begin(), value.end(), [](unsigned char c) { return std::isdigit(c) != 0; })) {
    return std::stoull(value);
  }
  const std::optional<CalendarTime> calendar = parseCalendarTime(value);
  const std::optional<std::uint32_t> time =
      calendar ? timestampFromCalendar(*calendar, timeZoneBiasSeconds()) : std::nullopt;
  if (!time) {
    throw CommandError(option + " " + value + ": neither a byte position nor a date and time like 2010-01-01 12:00:05");
  }
  BlockFile file;
  if (const Status opened = file.open(recording.path); !opened) throw openFailureError(opened);
  TimeSearchResult found;
  const BlockLayout layout{recording.isDisk, isBigEndianVariant(recording.variant)};
  if (const Status searched = findBlockAtTime(file, layout, *time, found); !searched) {
    throw CommandError(option + " " + value + ": " + searched.message());
  }
  switch (found.match) {
    case TimeMatch::AtOrAfter:
      return found.position;
    case TimeMatch::BeforeOldest:
      throw CommandError(option + " " + value + " is before the recording, which starts at " +
                         localTimeText(found.blockTime));
    case TimeMatch::AfterNewest:
      throw CommandError(option + " " + value + " is after the recording, which ends at " +
                         localTimeText(found.blockTime));
    case TimeMatch::NoValidBlock:
      break;
  }
  throw CommandError(option + " " + value + ": the recording holds no block with a valid time");
}

}  // namespace marlin::cli
