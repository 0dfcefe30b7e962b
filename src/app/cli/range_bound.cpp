#include "app/cli/range_bound.h"

#include <algorithm>
#include <cctype>

#include "base/calendar.h"
#include "platform/block_file.h"
#include "source/local_time.h"
#include "source/time_search.h"

namespace marlin::cli {

std::uint64_t resolveRangeBound(const std::string& option, const std::string& value, const RecordingArgs& recording) {
  if (!value.empty() && value.size() <= 19 &&
      std::all_of(value.begin(), value.end(), [](unsigned char c) { return std::isdigit(c) != 0; })) {
    return std::stoull(value);
  }
  const std::optional<CalendarTime> calendar = parseCalendarTime(value);
  const std::optional<std::uint32_t> time = calendar ? blockTimeFromLocal(*calendar) : std::nullopt;
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
  if (found.match != TimeMatch::AtOrAfter) throw CommandError(option + " " + value + outsideRecordingText(found));
  return found.position;
}

}  // namespace marlin::cli
