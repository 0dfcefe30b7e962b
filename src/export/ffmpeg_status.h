#pragma once

#include <string_view>

#include "base/status.h"

namespace marlin {

// "context: FFmpeg's text for the error", so that callers can say which
// writer failed and why.
Status ffmpegFailure(int averror, std::string_view context);

}  // namespace marlin
