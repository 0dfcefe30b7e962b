#pragma once

#include <array>
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

// Codes of up to ten bits (fewer than seven leading zeros, so peeks from
// 512 up) are told apart by the top ten bits of a 16-bit peek, the longer
// ones by the whole peek.
struct CoefficientLookup {
  static constexpr unsigned kShortShift = 6;
  std::array<CodeEntry, 1024> shortCodes;  // by peek >> kShortShift
  std::array<CodeEntry, 512> longCodes;    // by peek
};

extern const CoefficientLookup kCoefficientLookup;

// A run/level code of up to ten bits together with the sign bit after it,
// which the top eleven bits of a peek tell apart: all that placing its
// coefficient needs, so that the common codes take one load. advance 0 marks
// the peeks of every other code (end of block, escape, the longer codes and
// the invalid region), which take lookupCoefficientCode.
struct ShortCoefficient {
  std::uint8_t advance = 0;  // run + 1: scan positions from the previous coefficient
  std::uint8_t length = 0;   // code and sign bit
  std::int16_t level = 0;    // with its sign
};

inline constexpr unsigned kShortCoefficientBits = 11;
extern const std::array<ShortCoefficient, 1u << kShortCoefficientBits> kShortCoefficients;

// The code at the top of a 16-bit peek. Peeks below 16 (twelve or more
// leading zeros) are not codes.
inline CodeEntry lookupCoefficientCode(std::uint32_t peek16) {
  if (peek16 >= 512) {
    return peek16 <= 0xFFFF ? kCoefficientLookup.shortCodes[peek16 >> CoefficientLookup::kShortShift] : CodeEntry{};
  }
  return kCoefficientLookup.longCodes[peek16];
}

}  // namespace marlin::codec
