#pragma once

#include <optional>
#include <string>

namespace marlin::net {

// UTF-8 text in the Windows-1252 code page, the one a DVR set up from a
// Windows client holds its password and name in. nullopt when the text is
// not valid UTF-8 or has a character that code page cannot hold.
std::optional<std::string> toWindows1252(const std::string& utf8);

}  // namespace marlin::net
