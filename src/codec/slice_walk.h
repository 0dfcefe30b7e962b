#pragma once

#include <cstddef>
#include <cstdint>

#include "codec/bit_reader.h"

namespace marlin::codec {

// Walks the macroblock headers of the slice at offset: its row, then each
// macroblock's address increment and luma coded-block pattern (or, in an
// all-coded picture, every macroblock with all four luma blocks), calling
// macroblock(bits, row, column, lumaPattern) to read the blocks. Returns
// false on a malformed slice or when macroblock does; one walk for the
// decoder and the scanner, so that both take the same macroblocks.
template <typename ReadMacroblock>
[[gnu::always_inline]] inline bool walkSlice(const std::uint8_t* payload, std::size_t length, std::size_t offset,
                                             bool allCoded, int rows, int columns, ReadMacroblock&& macroblock) {
  BitReader bits(payload, length, offset);
  if (bits.read(24) != 0x000001) {
    return false;
  }
  const int row = static_cast<int>(bits.read(5));
  if (row >= rows) {
    return false;
  }
  int column = 0;
  for (;;) {
    unsigned pattern = 0x0F;
    if (!allCoded) {
      const int increment = static_cast<int>(bits.read(6));
      if (increment == 0) {
        return !bits.overran();
      }
      column += increment - 1;
      pattern = bits.read(4);
    }
    if (column >= columns) {
      return false;
    }
    if (!macroblock(bits, row, column, pattern)) {
      return false;
    }
    if (++column >= columns) {
      return true;
    }
  }
}

}  // namespace marlin::codec
