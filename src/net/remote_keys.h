#pragma once

#include <optional>

namespace marlin::net {

// The DVR's remote-control commands, by the value the key message carries.
enum class RemoteKey : int {
  Channel1 = 1,
  Channel2 = 2,
  Channel3 = 3,
  Channel4 = 4,
  Channel5 = 21,
  Channel6 = 22,
  Channel7 = 23,
  Channel8 = 24,
  Channel9 = 25,
  Split = 132,
  Record = 6,
  Rewind = 7,
  Stop = 8,
  Pause = 9,
  FastForward = 10,
  Play = 11,
  Menu = 12,
  Up = 13,
  Down = 14,
  Select = 15,
};

// The value sent for one of the main window's DVR control command ids
// (32848..32862, 32876..32882); nullopt for any other id. The 9-channel
// menu's sequence and split-4 entries send Select's value.
std::optional<int> remoteValueForCommand(int commandId);

// Keyboard keys that map to DVR keys, apart from characters.
enum class KeyboardKey {
  Backspace,
  Left,
  Enter,
  PageDown,
  Escape,
  End,
  PageUp,
  Home,
  Up,
  Right,
  Down,
  Insert,
  Delete,
  F1,
  F2,
  F3,
  F4,
};

// The DVR key for a named keyboard key.
int remoteValueForKey(KeyboardKey key);
// The DVR key for a typed character: lower-case letters as upper case;
// "*", "+", "-", "/", A-Z and 0-9 as their character codes; nullopt for
// anything else (the key is not sent).
std::optional<int> remoteValueForCharacter(char32_t character);

}  // namespace marlin::net
