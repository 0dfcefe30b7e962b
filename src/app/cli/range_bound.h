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

}  // namespace marlin::cli
