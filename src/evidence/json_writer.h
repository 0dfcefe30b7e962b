#pragma once

#include <string>
#include <string_view>

#include "evidence/json_value.h"

namespace marlin::evidence {

// text as a JSON string literal, quotes included: quotes and backslashes
// escaped, control characters as \u00XX, other bytes as they are.
std::string jsonQuoted(std::string_view text);

// The value as people read it and as it is signed: members in their order,
// two spaces a level, empty arrays and objects as [] and {}, whole numbers
// from 0 up in all their digits, other numbers in the fewest digits that read
// back the same (null for what JSON has no number for), a newline at the end.
// The same value always gives the same bytes.
std::string writeJson(const JsonValue& value);

}  // namespace marlin::evidence
