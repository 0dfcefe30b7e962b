#pragma once

#include <cstdint>
#include <string>

#include "app/cli/recording_args.h"

namespace marlin::cli {

// The byte position a --from or --to value names: the number itself, or for
// a local date and time ("2010-01-01 12:00:05") the first block recorded at
// or after it. Throws CommandError for other text and for a time outside
// the recording, saying which times it holds.
std::uint64_t resolveRangeBound(const std::string& option, const std::string& value, const RecordingArgs& recording);

// The recording's bytes [start, end) that --from and --to choose, each
// value as resolveRangeBound takes it; without --from the recording's start,
// without --to its end (size bytes), and a --to past the end ends there.
struct ByteRange {
  std::uint64_t start = 0;
  std::uint64_t end = 0;
};

// Throws CommandError, in the words the values were given in, for a start
// at or past the recording's end, and (exit status 2, the two options
// contradicting each other) for a range whose start is not before its end.
ByteRange resolveByteRange(const std::string& from, const std::string& to, const RecordingArgs& recording,
                           std::uint64_t size);

}  // namespace marlin::cli
