#pragma once

#include <QString>
#include <optional>

namespace marlin::desktop {

// The DVR key a keyboard key stands for while connected: the arrows, page
// and editing keys and F1-F4 by name, letters (as capitals), digits and
// "* + - /" by the character typed. Nothing for any other key.
std::optional<int> dvrKeyFor(int qtKey, const QString& text);

}  // namespace marlin::desktop
