#include "evidence/json_writer.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace marlin::evidence {

namespace {

void writeNumber(const JsonValue& value, std::string& out) {
  char digits[32];
  std::to_chars_result written{};
  if (const std::optional<std::uint64_t> exact = value.exactUnsigned()) {
    written = std::to_chars(digits, digits + sizeof digits, *exact);
  } else if (std::isfinite(value.numberValue())) {
    written = std::to_chars(digits, digits + sizeof digits, value.numberValue());
  } else {
    out += "null";
    return;
  }
  out.append(digits, written.ptr);
}

void writeValue(const JsonValue& value, std::size_t depth, std::string& out) {
  const auto newLine = [&out](std::size_t level) {
    out.push_back('\n');
    out.append(2 * level, ' ');
  };
  switch (value.kind()) {
    case JsonKind::Null:
      out += "null";
      return;
    case JsonKind::Bool:
      out += value.booleanValue() ? "true" : "false";
      return;
    case JsonKind::Number:
      writeNumber(value, out);
      return;
    case JsonKind::String:
      out += jsonQuoted(value.text());
      return;
    case JsonKind::Array:
      if (value.items().empty()) {
        out += "[]";
        return;
      }
      out.push_back('[');
      for (std::size_t i = 0; i < value.items().size(); ++i) {
        out += i == 0 ? "" : ",";
        newLine(depth + 1);
        writeValue(value.items()[i], depth + 1, out);
      }
      newLine(depth);
      out.push_back(']');
      return;
    case JsonKind::Object:
      if (value.members().empty()) {
        out += "{}";
        return;
      }
      out.push_back('{');
      for (std::size_t i = 0; i < value.members().size(); ++i) {
        out += i == 0 ? "" : ",";
        newLine(depth + 1);
        out += jsonQuoted(value.members()[i].key);
        out += ": ";
        writeValue(value.members()[i].value, depth + 1, out);
      }
      newLine(depth);
      out.push_back('}');
      return;
  }
}

}  // namespace

std::string jsonQuoted(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') {
      out.push_back('\\');
      out.push_back(c);
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    } else {
      out.push_back(c);
    }
  }
  return out + "\"";
}

std::string writeJson(const JsonValue& value) {
  std::string out;
  writeValue(value, 0, out);
  out.push_back('\n');
  return out;
}

}  // namespace marlin::evidence
