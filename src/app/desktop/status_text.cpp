#include "app/desktop/status_text.h"

#include <cstdio>

namespace marlin::desktop {

std::string statusText(PlaybackState state, double speed) {
  switch (state) {
    case PlaybackState::Idle:
      return "READY";
    case PlaybackState::Forward:
    case PlaybackState::Reverse: {
      char text[48];
      std::snprintf(text, sizeof text, "%s  x %.1f", state == PlaybackState::Forward ? "PLAY" : "REV", speed);
      return text;
    }
    case PlaybackState::StepForward:
      return "STEPF";
    case PlaybackState::StepBackward:
      return "STEPR";
    case PlaybackState::Paused:
      return "PAUSE";
    case PlaybackState::Jump:
      return "SEARCH";
  }
  return "";
}

}  // namespace marlin::desktop
