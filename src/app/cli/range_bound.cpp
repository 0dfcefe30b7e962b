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
    throw CommandError(option + " " + value + ": neither a byte position nor a date and time like 2010-01-01 12:00:05",
                       kUsageExit);
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

ByteRange resolveByteRange(const std::string& from, const std::string& to, const RecordingArgs& recording,
                           std::uint64_t size) {
  ByteRange range{0, size};
  if (!from.empty()) range.start = resolveRangeBound("--from", from, recording);
  if (!to.empty()) range.end = std::min(resolveRangeBound("--to", to, recording), size);
  if (range.start >= size) {
    throw CommandError("--from " + from + " is at or past the end of the recording (" + std::to_string(size) +
                       " bytes)");
  }
  if (range.start >= range.end) {
    const std::string start = from.empty() ? "the recording's start" : "--from " + from;
    throw CommandError("the range is empty: --to " + to + " does not come after " + start, kUsageExit);
  }
  return range;
}

}  // namespace marlin::cli
