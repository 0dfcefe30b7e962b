#include "source/checksum8.h"

#include <array>

namespace marlin {

namespace {

constexpr std::array<std::uint8_t, 256> makeCrc8Table() {
  std::array<std::uint8_t, 256> table{};
  for (unsigned i = 0; i < 256; ++i) {
    unsigned c = i;
    for (int bit = 0; bit < 8; ++bit) {
      c = (c & 0x80) ? ((c << 1) ^ 0x07) : (c << 1);
    }
    table[i] = static_cast<std::uint8_t>(c);
  }
  return table;
}

constexpr auto kCrc8Table = makeCrc8Table();
static_assert(kCrc8Table[1] == 0x07 && kCrc8Table[0x80] == 0x89 && kCrc8Table[0xFF] == 0xF3);

}  // namespace

std::uint8_t checksum8(const std::uint8_t* bytes, std::size_t n) {
  std::uint8_t c = 0xFF;
  for (std::size_t i = 0; i < n; ++i) {
    c = static_cast<std::uint8_t>(c ^ kCrc8Table[static_cast<std::uint8_t>(c ^ bytes[i])]);
  }
  return static_cast<std::uint8_t>(~c);
}

}  // namespace marlin
