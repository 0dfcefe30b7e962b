#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace marlin::evidence {

enum class JsonKind { Null, Bool, Number, String, Array, Object };

struct JsonMember;

// One JSON value. Objects keep their members in the order they were added,
// so that what is written twice from the same steps is the same bytes.
// Numbers are doubles; one that is a whole number from 0 to 2^64 - 1 also
// keeps its exact value (for a text of digits alone, the digits'), since
// sizes past 2^53 would lose their last digits as doubles.
class JsonValue {
 public:
  JsonValue() = default;  // null

  static JsonValue boolean(bool value);
  static JsonValue number(double value);
  static JsonValue wholeNumber(std::uint64_t value);
  static JsonValue string(std::string text);
  static JsonValue array();
  static JsonValue object();

  JsonKind kind() const { return kind_; }
  bool booleanValue() const { return boolean_; }
  double numberValue() const { return number_; }
  // The whole number from 0 up that the number is exactly, if it is one.
  std::optional<std::uint64_t> exactUnsigned() const { return exact_; }
  const std::string& text() const { return text_; }
  const std::vector<JsonValue>& items() const { return items_; }
  const std::vector<JsonMember>& members() const { return members_; }

  // The member named key of an object; nullptr when there is none or this is
  // no object.
  const JsonValue* find(std::string_view key) const;

  // Appends to an array; returns the value as stored, which stays where it
  // is until the next value is added.
  JsonValue& push(JsonValue value);
  // Appends a member to an object; returns the value as stored. The keys of
  // one object must differ: readers refuse an object naming a key twice.
  JsonValue& add(std::string key, JsonValue value);

  friend bool operator==(const JsonValue& a, const JsonValue& b);

 private:
  JsonKind kind_ = JsonKind::Null;
  bool boolean_ = false;
  double number_ = 0;
  std::optional<std::uint64_t> exact_;
  std::string text_;
  std::vector<JsonValue> items_;
  std::vector<JsonMember> members_;
};

struct JsonMember {
  std::string key;
  JsonValue value;

  friend bool operator==(const JsonMember&, const JsonMember&) = default;
};

// The name of a kind as messages word it: "an object", "a string".
std::string_view jsonKindName(JsonKind kind);

}  // namespace marlin::evidence
