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

// Looks up the code at the top of a 16-bit peek through sub-tables chosen by
// the position of its most significant 1. Peeks below 16 (twelve or more
// leading zeros) are not codes.
CodeEntry lookupCoefficientCode(std::uint32_t peek16);

}  // namespace marlin::codec
