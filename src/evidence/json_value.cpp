#include "evidence/json_value.h"

#include <algorithm>
#include <cmath>

namespace marlin::evidence {

namespace {

constexpr double kTwoToThe64 = 18446744073709551616.0;

}  // namespace

JsonValue JsonValue::boolean(bool value) {
  JsonValue made;
  made.kind_ = JsonKind::Bool;
  made.boolean_ = value;
  return made;
}

JsonValue JsonValue::number(double value) {
  JsonValue made;
  made.kind_ = JsonKind::Number;
  made.number_ = value;
  // A whole double is a whole number exactly, so a writer can give it in
  // digits alone, and reading those back finds the same exact value.
  if (value >= 0 && value < kTwoToThe64 && std::trunc(value) == value) {
    made.exact_ = static_cast<std::uint64_t>(value);
  }
  return made;
}

JsonValue JsonValue::wholeNumber(std::uint64_t value) {
  JsonValue made;
  made.kind_ = JsonKind::Number;
  made.number_ = static_cast<double>(value);
  made.exact_ = value;
  return made;
}

JsonValue JsonValue::string(std::string text) {
  JsonValue made;
  made.kind_ = JsonKind::String;
  made.text_ = std::move(text);
  return made;
}

JsonValue JsonValue::array() {
  JsonValue made;
  made.kind_ = JsonKind::Array;
  return made;
}

JsonValue JsonValue::object() {
  JsonValue made;
  made.kind_ = JsonKind::Object;
  return made;
}

const JsonValue* JsonValue::find(std::string_view key) const {
  const auto member =
      std::find_if(members_.begin(), members_.end(), [key](const JsonMember& m) { return m.key == key; });
  return member == members_.end() ? nullptr : &member->value;
}

JsonValue& JsonValue::push(JsonValue value) {
  items_.push_back(std::move(value));
  return items_.back();
}

JsonValue& JsonValue::add(std::string key, JsonValue value) {
  members_.push_back({std::move(key), std::move(value)});
  return members_.back().value;
}

bool operator==(const JsonValue& a, const JsonValue& b) {
  if (a.kind_ != b.kind_) {
    return false;
  }
  switch (a.kind_) {
    case JsonKind::Null:
      return true;
    case JsonKind::Bool:
      return a.boolean_ == b.boolean_;
    case JsonKind::Number:
      return a.number_ == b.number_ && a.exact_ == b.exact_;
    case JsonKind::String:
      return a.text_ == b.text_;
    case JsonKind::Array:
      return a.items_ == b.items_;
    case JsonKind::Object:
      return a.members_ == b.members_;
  }
  return false;
}

std::string_view jsonKindName(JsonKind kind) {
  switch (kind) {
    case JsonKind::Null:
      return "null";
    case JsonKind::Bool:
      return "true or false";
    case JsonKind::Number:
      return "a number";
    case JsonKind::String:
      return "a string";
    case JsonKind::Array:
      return "an array";
    case JsonKind::Object:
      break;
  }
  return "an object";
}

}  // namespace marlin::evidence
