#pragma once

#include <string>
#include <vector>

#include "base/status.h"
#include "export/timed_text.h"

namespace marlin {

// Rewrites the MP4 file at path with its index (the moov box) before the
// pictures, in one piece rather than fragments, as players that stream a
// file expect: into a new file beside it, which then takes its place. On
// failure the file stays as it was and the new one goes. texts, if any,
// become the new file's text track: a sparse track in fragments loses its
// samples' times, so it waits for the file in one piece.
Status moveIndexFirst(const std::string& path, const std::vector<TimedText>& texts);

}  // namespace marlin
