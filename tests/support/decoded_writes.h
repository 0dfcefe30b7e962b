#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

// A picture decoded twice, over two different fills, tells what the decoder
// wrote: an intra block comes out the same over both.
namespace marlin::testing {

// Whether the decoder wrote macroblock (row, column)'s Cb block, which every
// coded macroblock carries.
inline bool macroblockWritten(const std::vector<std::uint8_t>& overOne, const std::vector<std::uint8_t>& overOther,
                              int width, int height, int row, int column) {
  const std::size_t cb = static_cast<std::size_t>(width) * height + 8 * row * (width / 2) + 8 * column;
  for (int y = 0; y < 8; ++y) {
    const std::size_t at = cb + static_cast<std::size_t>(y) * (width / 2);
    if (std::memcmp(&overOne[at], &overOther[at], 8) != 0) {
      return false;
    }
  }
  return true;
}

}  // namespace marlin::testing
