#include "app/desktop/dialogs/recording_times.h"

#include <limits>

#include "platform/block_file.h"
#include "source/local_time.h"

namespace marlin::desktop {

TimeLookup lookUpTime(const std::string& path, BlockLayout layout, std::uint32_t time) {
  TimeLookup lookup;
  BlockFile file;
  lookup.status = file.open(path);
  if (lookup.status) lookup.status = findBlockAtTime(file, layout, time, lookup.found);
  return lookup;
}

RecordingSpan lookUpSpan(const std::string& path, BlockLayout layout) {
  RecordingSpan span;
  // Every block is at or after the earliest stamp and before the latest, so
  // the two searches end on the oldest and the newest block.
  const TimeLookup oldest = lookUpTime(path, layout, 0);
  span.status = oldest.status;
  if (!span.status || oldest.found.match == TimeMatch::NoValidBlock) return span;
  const TimeLookup newest = lookUpTime(path, layout, std::numeric_limits<std::uint32_t>::max());
  span.status = newest.status;
  if (!span.status || newest.found.match == TimeMatch::NoValidBlock) return span;
  span.first = oldest.found.blockTime;
  span.last = newest.found.blockTime;
  return span;
}

Status findTimeRange(const std::string& path, BlockLayout layout, std::uint32_t from, std::uint32_t to,
                     ByteRange& range) {
  if (to < from) return Status::failure(StatusCode::InvalidArgument, "the range ends before it starts");
  const TimeLookup start = lookUpTime(path, layout, from);
  if (!start.status) return start.status;
  if (start.found.match != TimeMatch::AtOrAfter) {
    return Status::failure(StatusCode::InvalidArgument, localTimeText(from) + outsideRecordingText(start.found));
  }
  // The range takes in every block of its last second: it ends where a later second begins.
  const TimeLookup end = lookUpTime(path, layout, to == std::numeric_limits<std::uint32_t>::max() ? to : to + 1);
  if (!end.status) return end.status;
  range.start = start.found.position;
  range.end = end.found.match == TimeMatch::AtOrAfter ? end.found.position : 0;
  return Status::ok();
}

std::string spanText(const RecordingSpan& span) {
  if (!span.status) return "Recording: " + span.status.message();
  if (!span.first || !span.last) return "Recording: no block with a valid time";
  return "Recording: " + localTimeText(*span.first) + " \u2013 " + localTimeText(*span.last);
}

}  // namespace marlin::desktop
