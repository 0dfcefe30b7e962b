#pragma once

#include <array>
#include <cstdint>

namespace marlin::codec {

// The default intra quantiser matrix in natural (row-major) order.
inline constexpr std::array<std::uint8_t, 64> kIntraMatrix = {
    8,  16, 19, 22, 26, 27, 29, 34,  //
    16, 16, 22, 24, 27, 29, 34, 37,  //
    19, 22, 26, 27, 29, 34, 34, 38,  //
    22, 22, 26, 27, 29, 34, 37, 40,  //
    22, 26, 27, 29, 32, 35, 40, 48,  //
    26, 27, 29, 32, 35, 40, 48, 58,  //
    26, 27, 29, 34, 38, 46, 56, 69,  //
    27, 29, 35, 38, 46, 56, 69, 83,
};
// Zig-zag scan position -> natural index.
inline constexpr std::array<std::uint8_t, 64> kZigzag = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,   //
    12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,  //
    35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,  //
    58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63,
};

// W[n] x quality, rebuilt only when the quality changes.
class ScaledQuantiser {
 public:
  const std::array<std::uint32_t, 64>& forQuality(int quality);

 private:
  int quality_ = -1;
  std::array<std::uint32_t, 64> table_{};
};

}  // namespace marlin::codec
