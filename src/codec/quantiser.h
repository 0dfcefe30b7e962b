#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

#include "codec/coefficient_codes.h"

namespace marlin::codec {

// The default intra quantiser matrix in natural (row-major) order.
extern const std::array<std::uint8_t, 64> kIntraMatrix;
// Zig-zag scan position -> natural index.
inline constexpr std::array<std::uint8_t, 64> kZigzag = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,   //
    12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,  //
    35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,  //
    58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63,
};

// The range of a dequantised coefficient.
inline constexpr std::int32_t kLowestCoefficient = -2048;
inline constexpr std::int32_t kHighestCoefficient = 2047;

// level x step / 4, rounded toward zero (the magnitude is scaled, then
// signed), saturated to the coefficient range.
constexpr std::int16_t dequantise(std::int32_t level, std::uint32_t step) {
  return static_cast<std::int16_t>(
      std::clamp(level * static_cast<std::int32_t>(step) / 4, kLowestCoefficient, kHighestCoefficient));
}

// What dequantising at one quality takes.
struct Dequantiser {
  // The short codes' levels, told apart by their low four bits.
  static constexpr std::size_t kLevelSlots = 16;
  static_assert(2 * kLargestShortLevel < static_cast<int>(kLevelSlots));
  // W[n] x quality.
  std::array<std::uint32_t, 64> steps{};
  // The coefficient of level at natural index n, at
  // levels[n * kLevelSlots + (level & 15)]. Index 64 holds zeros: it is where
  // a block reader puts the coefficients it does not have.
  std::array<std::int16_t, 65 * kLevelSlots> levels{};
};

// The dequantiser of the default matrix at a quality, rebuilt only when the
// quality changes.
class ScaledQuantiser {
 public:
  const Dequantiser& forQuality(int quality);

 private:
  int quality_ = -1;
  Dequantiser tables_;
};

}  // namespace marlin::codec
