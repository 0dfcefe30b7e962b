#pragma once

#include <cstdint>
#include <string>

#include "app/desktop/command_ids.h"
#include "engine/engine_types.h"

namespace marlin::desktop {

// What the window knows when it decides which commands are offered.
struct WindowFacts {
  EngineMode mode = EngineMode::Player;
  // Slow work runs (a disk waking, a name looked up, a range copied): only
  // leaving the window is offered.
  bool busy = false;
  PlaybackState state = PlaybackState::Idle;
  bool sourceOpen = false;
  std::uint64_t markIn = 0;
  std::uint64_t markOut = 0;
  bool muted = false;
  bool showTime = true;
  bool alwaysOnTop = false;
  bool normal = false;
  bool maximized = false;
  // The split the recording's cameras fill (4, 9 or 16).
  int splitLimit = 4;
  int videoWidth = 0;
  int videoHeight = 0;
  bool connected = false;
  bool localRecording = false;
  // The open recording's activity is known; its event list is shown; a
  // search region is drawn.
  bool activityReady = false;
  bool eventListShown = false;
  bool regionDrawn = false;
};

struct CommandLook {
  bool enabled = true;
  bool checked = false;
};

// A marked range is copied into a new recording only below 650 MiB.
inline constexpr std::uint64_t kLargestExportRange = 681'574'400;

CommandLook commandLook(CommandId id, const WindowFacts& facts);

// The Client menu's connect item, by the connection.
const char* connectItemText(bool connected);

}  // namespace marlin::desktop
