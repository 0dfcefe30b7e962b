#include "net/remote_keys.h"

namespace marlin::net {

std::optional<int> remoteValueForCommand(int commandId) {
  struct Entry {
    int command;
    RemoteKey key;
  };
  static constexpr Entry kTable[] = {
      {32848, RemoteKey::Pause},
      {32849, RemoteKey::Rewind},
      {32850, RemoteKey::Play},
      {32851, RemoteKey::FastForward},
      {32852, RemoteKey::Stop},
      {32853, RemoteKey::Record},
      {32854, RemoteKey::Split},
      {32855, RemoteKey::Channel1},
      {32856, RemoteKey::Channel2},
      {32857, RemoteKey::Channel3},
      {32858, RemoteKey::Channel4},
      {32859, RemoteKey::Menu},
      {32860, RemoteKey::Up},
      {32861, RemoteKey::Down},
      {32862, RemoteKey::Select},
      {32876, RemoteKey::Channel5},
      {32877, RemoteKey::Channel6},
      {32878, RemoteKey::Channel7},
      {32879, RemoteKey::Channel8},
      {32880, RemoteKey::Channel9},
      // The 9-channel menu's "Se&q" and "Split 4" share Select's handler.
      {32881, RemoteKey::Select},
      {32882, RemoteKey::Select},
  };
  for (const Entry& entry : kTable) {
    if (entry.command == commandId) {
      return static_cast<int>(entry.key);
    }
  }
  return std::nullopt;
}

int remoteValueForKey(KeyboardKey key) {
  switch (key) {
    case KeyboardKey::Backspace:
    case KeyboardKey::Left:
      return 7;
    case KeyboardKey::Enter:
    case KeyboardKey::PageDown:
      return 15;
    case KeyboardKey::Escape:
    case KeyboardKey::End:
      return 12;
    case KeyboardKey::PageUp:
      return 6;
    case KeyboardKey::Home:
      return 8;
    case KeyboardKey::Up:
      return 13;
    case KeyboardKey::Right:
      return 10;
    case KeyboardKey::Down:
      return 14;
    case KeyboardKey::Insert:
      return 11;
    case KeyboardKey::Delete:
      return 5;
    case KeyboardKey::F1:
      return 136;
    case KeyboardKey::F2:
      return 137;
    case KeyboardKey::F3:
      return 138;
    case KeyboardKey::F4:
      return 135;
  }
  return 0;
}

std::optional<int> remoteValueForCharacter(char32_t character) {
  if (character >= U'a' && character <= U'z') {
    return static_cast<int>(character - U'a' + U'A');
  }
  if ((character >= U'A' && character <= U'Z') || (character >= U'0' && character <= U'9') || character == U'*' ||
      character == U'+' || character == U'-' || character == U'/') {
    return static_cast<int>(character);
  }
  return std::nullopt;
}

}  // namespace marlin::net
