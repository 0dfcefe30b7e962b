#pragma once

#include <cstddef>
#include <string_view>

#include "base/status.h"
#include "evidence/json_value.h"

namespace marlin::evidence {

// How much a JSON text may ask of the reader: the text is read by recursion,
// one level a nested array or object, and it is held whole in memory.
struct JsonLimits {
  std::size_t maxDepth = 64;
  std::size_t maxBytes = 16u << 20;
};

// Reads one JSON value (RFC 8259) with nothing but white space around it.
// Strings are taken as UTF-8 bytes, escapes decoded (\uXXXX surrogate pairs
// to one character); an object naming a key twice is refused, since which of
// the two a reader takes differs between readers. A refusal is BadData
// with the byte offset where reading stopped.
Status readJson(std::string_view text, JsonValue& value, const JsonLimits& limits = {});

}  // namespace marlin::evidence
