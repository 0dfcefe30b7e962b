// Fuzz target for the control-message fields and the code-page conversion:
// readControlMessage and readHexField read only the bytes they are given
// (each call gets a heap copy of exactly those bytes, so AddressSanitizer
// catches a read past the end), agree with a plain reading of the layout,
// and what is built reads back the same. toWindows1252 accepts exactly the
// UTF-8 texts made of characters the code page holds, and its output turns
// back into the same text.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "net/ansi_text.h"
#include "net/control_message.h"
#include "net/login_reply.h"

namespace {

using namespace marlin::net;

void check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "control_message_fuzz: %s\n", what);
    std::abort();
  }
}

std::vector<std::uint8_t> copyOf(const std::uint8_t* data, std::size_t n) { return {data, data + n}; }

// A field by the letter of the protocol: four characters of 0-9, A-F, a-f.
std::optional<unsigned> plainField(const std::uint8_t* p) {
  unsigned value = 0;
  for (int i = 0; i < 4; ++i) {
    const char c = static_cast<char>(p[i]);
    const char* digits = "0123456789ABCDEF";
    const char* lower = "0123456789abcdef";
    const char* at = c != '\0' ? std::strchr(digits, c) : nullptr;
    const char* atLower = c != '\0' ? std::strchr(lower, c) : nullptr;
    if (at == nullptr && atLower == nullptr) {
      return std::nullopt;
    }
    value = value * 16 + static_cast<unsigned>(at != nullptr ? at - digits : atLower - lower);
  }
  return value;
}

void checkFields(const std::uint8_t* data, std::size_t size) {
  for (std::size_t at = 0; at + 4 <= size && at < 64; ++at) {
    const auto field = copyOf(data + at, 4);
    const std::optional<std::uint16_t> read = readHexField(field.data());
    const std::optional<unsigned> plain = plainField(field.data());
    check(read.has_value() == plain.has_value() && (!read || *read == *plain), "readHexField disagrees");
    check(readHexFieldOrZero(field.data()) == (plain ? *plain : 0u), "readHexFieldOrZero disagrees");
  }
}

void checkMessage(const std::uint8_t* data, std::size_t size) {
  for (std::size_t n = 0; n <= size && n <= 96; ++n) {
    const auto bytes = copyOf(data, n);
    const std::optional<ControlMessage> read = readControlMessage(bytes.data(), n);
    const bool shaped = n >= 12 && std::memcmp(bytes.data(), kControlStartCode, 4) == 0 &&
                        plainField(bytes.data() + 4) && *plainField(bytes.data() + 4) >= 12 &&
                        plainField(bytes.data() + 8);
    check(read.has_value() == shaped, "readControlMessage accepts what the layout refuses, or the reverse");
    if (!read) {
      continue;
    }
    check(read->length == *plainField(bytes.data() + 4) && read->code == *plainField(bytes.data() + 8),
          "wrong length or code");
    const std::size_t end = std::min<std::size_t>(n, read->length);
    check(read->parameters.size() == (end - 12) / 4, "wrong parameter count");
    for (std::size_t i = 0; i < read->parameters.size(); ++i) {
      const auto field = plainField(bytes.data() + 12 + 4 * i);
      check(read->parameters[i] == (field ? *field : 0u), "wrong parameter");
      check(read->parameter(i) == read->parameters[i], "parameter() disagrees");
    }
    check(!read->parameter(read->parameters.size()), "parameter() beyond the message");
  }
}

void checkBuilt(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint16_t> values;
  for (std::size_t i = 0; i + 1 < size && values.size() < 7; i += 2) {
    values.push_back(static_cast<std::uint16_t>(data[i] << 8 | data[i + 1]));
  }
  if (values.empty()) {
    return;
  }
  const std::uint16_t code = values[0];
  std::vector<std::uint8_t> built;
  switch (values.size() - 1) {
    case 0:
      built = buildControlMessage(code, {});
      break;
    case 1:
      built = buildControlMessage(code, {values[1]});
      break;
    case 2:
      built = buildControlMessage(code, {values[1], values[2]});
      break;
    case 3:
      built = buildControlMessage(code, {values[1], values[2], values[3]});
      break;
    case 4:
      built = buildControlMessage(code, {values[1], values[2], values[3], values[4]});
      break;
    case 5:
      built = buildControlMessage(code, {values[1], values[2], values[3], values[4], values[5]});
      break;
    default:
      built = buildControlMessage(code, {values[1], values[2], values[3], values[4], values[5], values[6]});
      break;
  }
  check(built.size() == 12 + 4 * (values.size() - 1), "built message has the wrong size");
  for (std::size_t i = 4; i < built.size(); ++i) {
    check(std::strchr("0123456789ABCDEF", built[i]) != nullptr && built[i] != 0, "not uppercase hex");
  }
  const auto read = readControlMessage(built.data(), built.size());
  check(read && read->length == built.size() && read->code == code, "built message does not read back");
  check(std::equal(read->parameters.begin(), read->parameters.end(), values.begin() + 1, values.end()),
        "parameters do not read back");
}

// Windows-1252 as UTF-8 per byte; empty for its five holes.
std::string utf8Of(std::uint8_t b) {
  static const unsigned kHigh[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                     0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                     0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                     0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
  const unsigned c = b >= 0x80 && b < 0xA0 ? kHigh[b - 0x80] : b;
  std::string out;
  if (b >= 0x80 && b < 0xA0 && c == 0) {
    return out;
  }
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | c >> 6));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xE0 | c >> 12));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
  return out;
}

void checkCodePage(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), std::min<std::size_t>(size, 256));
  // The text is representable exactly when it splits into the encodings of
  // code-page bytes (UTF-8 is prefix-free, so greedy matching decides).
  std::string expected;
  bool representable = true;
  for (std::size_t at = 0; at < text.size() && representable;) {
    representable = false;
    for (unsigned b = 0; b < 256; ++b) {
      const std::string encoded = utf8Of(static_cast<std::uint8_t>(b));
      if (!encoded.empty() && text.compare(at, encoded.size(), encoded) == 0) {
        expected.push_back(static_cast<char>(b));
        at += encoded.size();
        representable = true;
        break;
      }
    }
  }
  const std::optional<std::string> converted = toWindows1252(text);
  check(converted.has_value() == representable, "toWindows1252 accepts the wrong texts");
  check(!converted || *converted == expected, "toWindows1252 gives the wrong bytes");

  std::vector<std::uint8_t> login;
  const bool built = buildLoginFor(text, login).isOk();
  check(built == (representable && expected.size() <= kMaxPasswordBytes && expected.find('\0') == std::string::npos),
        "buildLoginFor accepts the wrong passwords");
  check(!built || login.size() == 44, "login message is not 44 bytes");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  checkFields(data, size);
  checkMessage(data, size);
  checkBuilt(data, size);
  checkCodePage(data, size);
  return 0;
}
