#pragma once

#include <string>

namespace marlin {

// text as a JSON string literal, quotes included.
std::string jsonString(const std::string& text);

}  // namespace marlin
