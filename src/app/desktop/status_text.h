#pragma once

#include <string>

#include "engine/engine_types.h"

namespace marlin::desktop {

// The status strip's state text: "PLAY  x 1.0" while playing forward, "REV
// x 1.0" in reverse, the state's name otherwise.
std::string statusText(PlaybackState state, double speed);

}  // namespace marlin::desktop
