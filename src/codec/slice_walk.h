#pragma once

#include <cstddef>
#include <cstdint>

#include "codec/bit_reader.h"

namespace marlin::codec {

// The macroblock headers of the slice at offset: its row, then each
// macroblock's address increment and luma coded-block pattern (or, in an
// all-coded picture, every macroblock with all four luma blocks). The
// caller reads each macroblock's blocks from bits before asking for the
// next one. One walk for the decoder and the scanner, so that both take the
// same macroblocks; a walk of its own per slice, so that the scanner can
// read several slices in turn.
class SliceWalk {
 public:
  enum class Step : std::uint8_t { Macroblock, Ended, Failed };

  SliceWalk(const std::uint8_t* payload, std::size_t length, std::size_t offset, bool allCoded, int rows, int columns)
      : bits(payload, length, offset), allCoded_(allCoded), columns_(columns) {
    const bool startCode = bits.read(24) == 0x000001;
    row_ = static_cast<int>(bits.read(5));
    failedAtStart_ = !startCode || row_ >= rows;
  }

  // Whether a conditional picture's slice at offset, which starts with a
  // start code, codes no macroblock and is well formed, as a walk would
  // find it: its row is in the picture and its first address increment,
  // right after the row, is 0. Read from two bytes, without a walk.
  static bool codesNothing(const std::uint8_t* payload, std::size_t length, std::size_t offset, int rows) {
    if (offset + 5 > length) {
      return false;
    }
    const unsigned rowByte = payload[offset + 3];  // five bits of row, three of increment
    return static_cast<int>(rowByte >> 3) < rows && (rowByte & 7u) == 0 && (payload[offset + 4] >> 5) == 0;
  }

  // The slice's row; only when the walk did not fail at its start.
  int row() const { return row_; }
  bool failedAtStart() const { return failedAtStart_; }

  // Moves to the next macroblock (Macroblock, with column() and pattern()
  // set), or to the slice's end: Ended when it is well formed.
  [[gnu::always_inline]] Step next() {
    if (failedAtStart_) {
      return Step::Failed;
    }
    if (started_ && ++column_ >= columns_) {
      return Step::Ended;
    }
    started_ = true;
    pattern_ = 0x0F;
    if (!allCoded_) {
      const int increment = static_cast<int>(bits.read(6));
      if (increment == 0) {
        return bits.overran() ? Step::Failed : Step::Ended;
      }
      column_ += increment - 1;
      pattern_ = bits.read(4);
    }
    return column_ < columns_ ? Step::Macroblock : Step::Failed;
  }

  int column() const { return column_; }
  unsigned pattern() const { return pattern_; }

  BitReader bits;

 private:
  bool allCoded_;
  bool started_ = false;
  bool failedAtStart_ = false;
  int columns_;
  int row_ = 0;
  int column_ = 0;
  unsigned pattern_ = 0;
};

// Walks the slice at offset, calling macroblock(bits, row, column,
// lumaPattern) to read each macroblock's blocks. Returns false on a
// malformed slice or when macroblock does.
template <typename ReadMacroblock>
[[gnu::always_inline]] inline bool walkSlice(const std::uint8_t* payload, std::size_t length, std::size_t offset,
                                             bool allCoded, int rows, int columns, ReadMacroblock&& macroblock) {
  SliceWalk walk(payload, length, offset, allCoded, rows, columns);
  for (;;) {
    switch (walk.next()) {
      case SliceWalk::Step::Ended:
        return true;
      case SliceWalk::Step::Failed:
        return false;
      case SliceWalk::Step::Macroblock:
        break;
    }
    if (!macroblock(walk.bits, walk.row(), walk.column(), walk.pattern())) {
      return false;
    }
  }
}

}  // namespace marlin::codec
