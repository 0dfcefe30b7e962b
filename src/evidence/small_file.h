#pragma once

#include <cstddef>
#include <string>

#include "base/status.h"

namespace marlin::evidence {

// The whole of a file that is only ever small (a manifest, a key, a
// signature), refused past limit bytes so that a large file in its place
// is not read into memory. Failures name the file; a missing one is NotFound.
Status readSmallFile(const std::string& path, std::size_t limit, std::string& bytes);

}  // namespace marlin::evidence
