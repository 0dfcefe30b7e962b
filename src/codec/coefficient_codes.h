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

// What the top eleven bits of a peek hold at the start: up to two run/level
// codes of up to ten bits, each with its sign bit, possibly followed by end
// of block; all that placing their coefficients needs, so that the common
// codes take one load for one or two coefficients. A missing coefficient
// moves past the 64 scan positions, where the reader keeps a spare slot for
// it, so that one or two are placed the same way. length 0 marks the peeks
// of every other code (escape, the longer codes and the invalid region),
// which take lookupCoefficientCode.
struct ShortCodes {
  static constexpr std::uint8_t kEndsBlock = 0x40;  // in length: end of block follows
  static constexpr std::uint8_t kAbsent = 64;       // advance to a coefficient there is not
  std::uint8_t firstAdvance = 0;                    // scan positions from the previous coefficient to the first
  std::uint8_t secondAdvance = 0;                   // from the first to the second
  std::uint8_t advance = 0;                         // scan positions moved in all
  std::uint8_t length = 0;                          // bits taken (codes, signs and end of block), plus kEndsBlock
  std::int16_t firstLevel = 0;                      // with its sign
  std::int16_t secondLevel = 0;
};

inline constexpr unsigned kShortCodeBits = 11;
// The largest level of a code of up to ten bits.
inline constexpr int kLargestShortLevel = 7;
extern const std::array<ShortCodes, 1u << kShortCodeBits> kShortCodes;

// The code at the top of a 16-bit peek. Peeks below 16 (twelve or more
// leading zeros) are not codes.
inline CodeEntry lookupCoefficientCode(std::uint32_t peek16) {
  if (peek16 >= 512) {
    return peek16 <= 0xFFFF ? kCoefficientLookup.shortCodes[peek16 >> CoefficientLookup::kShortShift] : CodeEntry{};
  }
  return kCoefficientLookup.longCodes[peek16];
}

}  // namespace marlin::codec
