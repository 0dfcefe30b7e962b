#include "source/local_time.h"

#include "platform/time_zone.h"

namespace marlin {

std::optional<std::uint32_t> blockTimeFromLocal(const CalendarTime& local) {
  return timestampFromCalendar(local, timeZoneBiasSeconds());
}

std::string localTimeText(std::uint32_t blockTime) {
  return formatCalendarTime(calendarFromTimestamp(blockTime, timeZoneBiasSeconds()));
}

std::string outsideRecordingText(const TimeSearchResult& found) {
  switch (found.match) {
    case TimeMatch::AtOrAfter:
      return {};
    case TimeMatch::BeforeOldest:
      return " is before the recording, which starts at " + localTimeText(found.blockTime);
    case TimeMatch::AfterNewest:
      return " is after the recording, which ends at " + localTimeText(found.blockTime);
    case TimeMatch::NoValidBlock:
      break;
  }
  return ": the recording holds no block with a valid time";
}

}  // namespace marlin
