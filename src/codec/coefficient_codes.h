#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

// The variable-length codes of the intra AC coefficients: the MPEG DCT
// coefficient table (run, level, code without its sign bit), with "10" as
// end of block and "11" as run 0 level 1 for every coefficient, and "000001"
// as escape.
namespace marlin::codec {

struct CoefficientCode {
  std::string_view bits;
  std::uint8_t run;
  std::uint8_t level;
};

// Every run/level code; end of block and escape are not in this list.
std::span<const CoefficientCode> coefficientCodes();

inline constexpr std::string_view kEndOfBlockBits = "10";
inline constexpr std::string_view kEscapeBits = "000001";

// One decoded table entry: what a code means and how many bits it takes
// (without a sign bit).
struct CodeEntry {
  enum Kind : std::uint8_t { Invalid, Coefficient, EndOfBlock, Escape };
  Kind kind = Invalid;
  std::uint8_t run = 0;
  std::uint8_t level = 0;
  std::uint8_t length = 0;
};

// Codes by the position of the most significant 1 of a 16-bit peek: the
// band of that position says how far to shift the peek so that only the
// bits telling its codes apart stay, and where those entries start.
struct CoefficientLookup {
  static constexpr std::size_t kEntries = 135;
  struct Band {
    std::uint8_t shift;
    std::int16_t base;
  };
  std::array<Band, 16> bands;  // positions 0..3 are not codes
  std::array<CodeEntry, kEntries> entries;
};

extern const CoefficientLookup kCoefficientLookup;

// The code at the top of a 16-bit peek. Peeks below 16 (twelve or more
// leading zeros) are not codes.
inline CodeEntry lookupCoefficientCode(std::uint32_t peek16) {
  if (peek16 < 16 || peek16 > 0xFFFF) {
    return {};
  }
  const CoefficientLookup::Band band = kCoefficientLookup.bands[std::bit_width(peek16) - 1];
  return kCoefficientLookup.entries[static_cast<std::size_t>(band.base + static_cast<int>(peek16 >> band.shift))];
}

}  // namespace marlin::codec
