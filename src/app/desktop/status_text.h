#pragma once

#include <string>

#include "engine/engine_types.h"

namespace marlin::desktop {

// The status strip's state text: "PLAY  x 1.0" while playing, the state's
// name otherwise (empty before anything is open).
std::string statusText(PlaybackState state, double speed);

}  // namespace marlin::desktop
