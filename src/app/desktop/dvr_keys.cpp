#include "app/desktop/dvr_keys.h"

#include <Qt>

#include "net/remote_keys.h"

namespace marlin::desktop {

namespace {

std::optional<net::KeyboardKey> namedKey(int qtKey) {
  using net::KeyboardKey;
  switch (qtKey) {
    case Qt::Key_Backspace:
      return KeyboardKey::Backspace;
    case Qt::Key_Left:
      return KeyboardKey::Left;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return KeyboardKey::Enter;
    case Qt::Key_PageDown:
      return KeyboardKey::PageDown;
    case Qt::Key_Escape:
      return KeyboardKey::Escape;
    case Qt::Key_End:
      return KeyboardKey::End;
    case Qt::Key_PageUp:
      return KeyboardKey::PageUp;
    case Qt::Key_Home:
      return KeyboardKey::Home;
    case Qt::Key_Up:
      return KeyboardKey::Up;
    case Qt::Key_Right:
      return KeyboardKey::Right;
    case Qt::Key_Down:
      return KeyboardKey::Down;
    case Qt::Key_Insert:
      return KeyboardKey::Insert;
    case Qt::Key_Delete:
      return KeyboardKey::Delete;
    case Qt::Key_F1:
      return KeyboardKey::F1;
    case Qt::Key_F2:
      return KeyboardKey::F2;
    case Qt::Key_F3:
      return KeyboardKey::F3;
    case Qt::Key_F4:
      return KeyboardKey::F4;
    default:
      return std::nullopt;
  }
}

}  // namespace

std::optional<int> dvrKeyFor(int qtKey, const QString& text) {
  if (const auto named = namedKey(qtKey)) {
    return net::remoteValueForKey(*named);
  }
  if (text.size() != 1) {
    return std::nullopt;
  }
  return net::remoteValueForCharacter(text.at(0).unicode());
}

}  // namespace marlin::desktop
