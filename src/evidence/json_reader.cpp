#include "evidence/json_reader.h"

#include <charconv>
#include <optional>
#include <string>
#include <unordered_set>

namespace marlin::evidence {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::optional<unsigned> hexDigit(char c) {
  if (isDigit(c)) {
    return static_cast<unsigned>(c - '0');
  }
  if (c >= 'a' && c <= 'f') {
    return static_cast<unsigned>(c - 'a' + 10);
  }
  if (c >= 'A' && c <= 'F') {
    return static_cast<unsigned>(c - 'A' + 10);
  }
  return std::nullopt;
}

void appendUtf8(std::string& out, std::uint32_t code) {
  if (code < 0x80) {
    out.push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out.push_back(static_cast<char>(0xC0 | code >> 6));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else if (code < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | code >> 12));
    out.push_back(static_cast<char>(0x80 | (code >> 6 & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | code >> 18));
    out.push_back(static_cast<char>(0x80 | (code >> 12 & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code >> 6 & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

// Recursive descent over the text; the first refusal is kept and ends the
// reading, so every step returns false after it.
class Reader {
 public:
  Reader(std::string_view text, const JsonLimits& limits) : text_(text), limits_(limits) {}

  Status readWhole(JsonValue& value) {
    if (text_.size() > limits_.maxBytes) {
      return Status::failure(StatusCode::BadData, "JSON text of " + std::to_string(text_.size()) +
                                                      " bytes is over the limit of " +
                                                      std::to_string(limits_.maxBytes));
    }
    skipSpace();
    if (readValue(value, 0)) {
      skipSpace();
      if (at_ < text_.size()) {
        refuse("unexpected text after the JSON value");
      }
    }
    return failure_;
  }

 private:
  bool refuse(const std::string& why) {
    if (failure_.isOk()) {
      failure_ = Status::failure(StatusCode::BadData, "JSON at byte " + std::to_string(at_) + ": " + why);
    }
    return false;
  }

  bool atEnd() const { return at_ >= text_.size(); }
  char peek() const { return text_[at_]; }

  void skipSpace() {
    while (!atEnd() && (peek() == ' ' || peek() == '\t' || peek() == '\n' || peek() == '\r')) {
      ++at_;
    }
  }

  bool expectWord(std::string_view word) {
    if (text_.substr(at_, word.size()) != word) {
      return refuse("expected " + std::string(word));
    }
    at_ += word.size();
    return true;
  }

  bool readValue(JsonValue& value, std::size_t depth) {
    if (atEnd()) {
      return refuse("the text ends where a value belongs");
    }
    switch (peek()) {
      case '{':
        return readObject(value, depth + 1);
      case '[':
        return readArray(value, depth + 1);
      case '"': {
        std::string text;
        if (!readString(text)) {
          return false;
        }
        value = JsonValue::string(std::move(text));
        return true;
      }
      case 't':
        value = JsonValue::boolean(true);
        return expectWord("true");
      case 'f':
        value = JsonValue::boolean(false);
        return expectWord("false");
      case 'n':
        value = JsonValue();
        return expectWord("null");
      default:
        if (peek() == '-' || isDigit(peek())) {
          return readNumber(value);
        }
    }
    return refuse(std::string("unexpected character '") + peek() + "' where a value belongs");
  }

  bool enter(std::size_t depth) {
    if (depth > limits_.maxDepth) {
      return refuse("nested deeper than " + std::to_string(limits_.maxDepth) + " levels");
    }
    ++at_;
    skipSpace();
    return true;
  }

  bool readArray(JsonValue& value, std::size_t depth) {
    if (!enter(depth)) {
      return false;
    }
    value = JsonValue::array();
    if (!atEnd() && peek() == ']') {
      ++at_;
      return true;
    }
    for (;;) {
      if (!readValue(value.push(JsonValue()), depth)) {
        return false;
      }
      skipSpace();
      if (atEnd() || (peek() != ',' && peek() != ']')) {
        return refuse("expected ',' or ']' in an array");
      }
      if (text_[at_++] == ']') {
        return true;
      }
      skipSpace();
    }
  }

  bool readObject(JsonValue& value, std::size_t depth) {
    if (!enter(depth)) {
      return false;
    }
    value = JsonValue::object();
    if (!atEnd() && peek() == '}') {
      ++at_;
      return true;
    }
    std::unordered_set<std::string> keys;
    for (;;) {
      if (atEnd() || peek() != '"') {
        return refuse("expected a key in quotes");
      }
      const std::size_t keyAt = at_;
      std::string key;
      if (!readString(key)) {
        return false;
      }
      if (!keys.insert(key).second) {
        at_ = keyAt;
        return refuse("the key \"" + key + "\" comes twice in one object");
      }
      skipSpace();
      if (atEnd() || peek() != ':') {
        return refuse("expected ':' after a key");
      }
      ++at_;
      skipSpace();
      if (!readValue(value.add(std::move(key), JsonValue()), depth)) {
        return false;
      }
      skipSpace();
      if (atEnd() || (peek() != ',' && peek() != '}')) {
        return refuse("expected ',' or '}' in an object");
      }
      if (text_[at_++] == '}') {
        return true;
      }
      skipSpace();
    }
  }

  // Four hex digits after "\u".
  bool readCodeUnit(std::uint32_t& unit) {
    unit = 0;
    for (int i = 0; i < 4; ++i, ++at_) {
      const std::optional<unsigned> digit = atEnd() ? std::nullopt : hexDigit(peek());
      if (!digit) {
        return refuse("\\u needs four hex digits");
      }
      unit = unit << 4 | *digit;
    }
    return true;
  }

  bool readEscape(std::string& out) {
    const std::size_t escapeAt = at_;
    ++at_;  // the backslash
    if (atEnd()) {
      return refuse("the text ends inside an escape");
    }
    const char kind = text_[at_++];
    switch (kind) {
      case '"':
      case '\\':
      case '/':
        out.push_back(kind);
        return true;
      case 'b':
        out.push_back('\b');
        return true;
      case 'f':
        out.push_back('\f');
        return true;
      case 'n':
        out.push_back('\n');
        return true;
      case 'r':
        out.push_back('\r');
        return true;
      case 't':
        out.push_back('\t');
        return true;
      case 'u':
        break;
      default:
        at_ = escapeAt;
        return refuse(std::string("unknown escape \\") + kind);
    }
    std::uint32_t unit = 0;
    if (!readCodeUnit(unit)) {
      return false;
    }
    if (unit >= 0xDC00 && unit <= 0xDFFF) {
      at_ = escapeAt;
      return refuse("a low surrogate \\u escape without the high one before it");
    }
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      std::uint32_t low = 0;
      if (text_.substr(at_, 2) != "\\u") {
        at_ = escapeAt;
        return refuse("a high surrogate \\u escape without the low one after it");
      }
      at_ += 2;
      if (!readCodeUnit(low)) {
        return false;
      }
      if (low < 0xDC00 || low > 0xDFFF) {
        at_ = escapeAt;
        return refuse("a high surrogate \\u escape without the low one after it");
      }
      unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
    }
    appendUtf8(out, unit);
    return true;
  }

  bool readString(std::string& out) {
    ++at_;  // the opening quote
    for (;;) {
      if (atEnd()) {
        return refuse("the text ends inside a string");
      }
      const char c = peek();
      if (c == '"') {
        ++at_;
        return true;
      }
      if (c == '\\') {
        if (!readEscape(out)) {
          return false;
        }
        continue;
      }
      if (static_cast<unsigned char>(c) < 0x20) {
        return refuse("a control character inside a string (write it as an escape)");
      }
      out.push_back(c);
      ++at_;
    }
  }

  // -?(0|[1-9][0-9]*)(.[0-9]+)?([eE][+-]?[0-9]+)?
  bool readNumber(JsonValue& value) {
    const std::size_t start = at_;
    const auto digits = [this] {
      const std::size_t from = at_;
      while (!atEnd() && isDigit(peek())) {
        ++at_;
      }
      return at_ - from;
    };
    const bool negative = peek() == '-';
    if (negative) {
      ++at_;
    }
    const std::size_t integerAt = at_;
    const std::size_t integerDigits = digits();
    if (integerDigits == 0) {
      return refuse("a number needs a digit");
    }
    if (integerDigits > 1 && text_[integerAt] == '0') {
      at_ = integerAt;
      return refuse("a number may not begin with 0");
    }
    bool whole = !negative;
    if (!atEnd() && peek() == '.') {
      ++at_;
      whole = false;
      if (digits() == 0) {
        return refuse("a decimal point needs a digit after it");
      }
    }
    if (!atEnd() && (peek() == 'e' || peek() == 'E')) {
      ++at_;
      whole = false;
      if (!atEnd() && (peek() == '+' || peek() == '-')) {
        ++at_;
      }
      if (digits() == 0) {
        return refuse("an exponent needs a digit");
      }
    }
    const char* first = text_.data() + start;
    const char* last = text_.data() + at_;
    if (whole) {
      std::uint64_t exact = 0;
      if (std::from_chars(first, last, exact).ec == std::errc()) {
        value = JsonValue::wholeNumber(exact);
        return true;
      }
    }
    double number = 0;
    if (std::from_chars(first, last, number).ec != std::errc()) {
      at_ = start;
      return refuse("a number out of range");
    }
    value = JsonValue::number(number);
    return true;
  }

  std::string_view text_;
  const JsonLimits& limits_;
  std::size_t at_ = 0;
  Status failure_;
};

}  // namespace

Status readJson(std::string_view text, JsonValue& value, const JsonLimits& limits) {
  return Reader(text, limits).readWhole(value);
}

}  // namespace marlin::evidence
