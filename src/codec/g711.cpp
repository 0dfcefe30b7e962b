#include "codec/g711.h"

#include <array>

namespace marlin {

namespace {

// A-law: even bits inverted on the line; a 3-bit segment doubles the step of
// the 4-bit mantissa from segment 2 on, and segments 0 and 1 share one step.
constexpr std::int16_t expandALaw(std::uint8_t code) {
  const int bits = code ^ 0x55;
  const int segment = (bits >> 4) & 0x07;
  int magnitude = (bits & 0x0F) << 4;
  magnitude += segment == 0 ? 8 : 0x108;
  if (segment > 1) {
    magnitude <<= segment - 1;
  }
  return static_cast<std::int16_t>((bits & 0x80) != 0 ? magnitude : -magnitude);
}

// μ-law: all bits inverted on the line; the magnitude is biased by 0x84 so
// that every segment starts on a power of two.
constexpr std::int16_t expandMuLaw(std::uint8_t code) {
  const int bits = ~code & 0xFF;
  const int biased = (((bits & 0x0F) << 3) + 0x84) << ((bits >> 4) & 0x07);
  return static_cast<std::int16_t>((bits & 0x80) != 0 ? 0x84 - biased : biased - 0x84);
}

template <std::int16_t (*Expand)(std::uint8_t)>
constexpr std::array<std::int16_t, 256> buildTable() {
  std::array<std::int16_t, 256> table{};
  for (int code = 0; code < 256; ++code) {
    table[code] = Expand(static_cast<std::uint8_t>(code));
  }
  return table;
}

constexpr auto kALaw = buildTable<expandALaw>();
constexpr auto kMuLaw = buildTable<expandMuLaw>();

}  // namespace

std::int16_t alawToLinear(std::uint8_t code) { return kALaw[code]; }

std::int16_t mulawToLinear(std::uint8_t code) { return kMuLaw[code]; }

std::uint8_t linearToAlaw(std::int16_t sample) {
  // 13-bit magnitude; negative samples are one's-complemented so that the
  // segments are symmetric around zero.
  int magnitude = sample >> 3;
  int lineMask = 0xD5;
  if (magnitude < 0) {
    lineMask = 0x55;
    magnitude = -magnitude - 1;
  }
  int segment = 0;
  while (segment < 8 && magnitude > (0x20 << segment) - 1) {
    ++segment;
  }
  if (segment == 8) {
    return static_cast<std::uint8_t>(0x7F ^ lineMask);
  }
  const int mantissa = (segment < 2 ? magnitude >> 1 : magnitude >> segment) & 0x0F;
  return static_cast<std::uint8_t>(((segment << 4) | mantissa) ^ lineMask);
}

}  // namespace marlin
