#include "net/ansi_text.h"

#include <cstdint>

namespace marlin::net {

namespace {

// The characters Windows-1252 holds at 0x80..0x9F; 0 marks the five
// positions the code page leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D).
constexpr char32_t kHighControls[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  //
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,       //
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  //
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

// The code page byte for a character; -1 when the code page lacks it. C1
// controls (U+0080..U+009F) are not in it: those bytes hold the characters
// above.
int windows1252Byte(char32_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
    return static_cast<int>(c);
  }
  for (int i = 0; i < 32; ++i) {
    if (kHighControls[i] != 0 && kHighControls[i] == c) {
      return 0x80 + i;
    }
  }
  return -1;
}

// One character of strict UTF-8 (no overlong forms, no surrogates, nothing
// above U+10FFFF) starting at text[at]; advances at. -1 when invalid.
long long decodeUtf8(const std::string& text, std::size_t& at) {
  const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
  const std::uint8_t lead = byte(at);
  if (lead < 0x80) {
    ++at;
    return lead;
  }
  int extra;
  char32_t c;
  char32_t smallest;
  if ((lead & 0xE0) == 0xC0) {
    extra = 1;
    c = lead & 0x1F;
    smallest = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    extra = 2;
    c = lead & 0x0F;
    smallest = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    extra = 3;
    c = lead & 0x07;
    smallest = 0x10000;
  } else {
    return -1;
  }
  if (text.size() - at <= static_cast<std::size_t>(extra)) {
    return -1;
  }
  for (int i = 1; i <= extra; ++i) {
    const std::uint8_t next = byte(at + static_cast<std::size_t>(i));
    if ((next & 0xC0) != 0x80) {
      return -1;
    }
    c = c << 6 | (next & 0x3F);
  }
  if (c < smallest || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
    return -1;
  }
  at += static_cast<std::size_t>(extra) + 1;
  return c;
}

}  // namespace

std::optional<std::string> toWindows1252(const std::string& utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t at = 0; at < utf8.size();) {
    const long long c = decodeUtf8(utf8, at);
    if (c < 0) {
      return std::nullopt;
    }
    const int b = windows1252Byte(static_cast<char32_t>(c));
    if (b < 0) {
      return std::nullopt;
    }
    out.push_back(static_cast<char>(static_cast<unsigned char>(b)));
  }
  return out;
}

}  // namespace marlin::net
