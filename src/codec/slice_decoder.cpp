#include "codec/slice_decoder.h"

#include <cstring>

#include "codec/bit_reader.h"
#include "codec/coefficient_codes.h"
#include "codec/quantiser.h"
#include "codec/slice_walk.h"

namespace marlin::codec {

namespace {

struct Planes {
  std::uint8_t* y;
  std::uint8_t* cb;
  std::uint8_t* cr;
  std::ptrdiff_t width;
};

// The level of an escape: eight bits, or sixteen when the first eight are
// 0x00 or 0x80. The bits must have been ensured.
std::int32_t readEscapedLevel(BitReader& bits) {
  const std::uint32_t level = bits.take(8);
  if (level == 0x00) {
    return static_cast<std::int32_t>(bits.take(8));
  }
  if (level == 0x80) {
    return -static_cast<std::int32_t>((256 - bits.take(8)) & 0xFF);
  }
  return static_cast<std::int8_t>(level);
}

// A block's coefficients in natural order, and a spare slot after them
// where the short codes place the coefficients they do not have.
constexpr std::size_t kSpareSlot = 64;
constexpr std::size_t kBlockSlots = 72;

// Natural index by scan position, with the positions a missing coefficient
// reaches (past 63, up to two absent advances on) on the spare slot.
constexpr auto kScanWithSpare = [] {
  std::array<std::uint8_t, 64 + 2 * ShortCodes::kAbsent> scan{};
  for (std::size_t k = 0; k < scan.size(); ++k) {
    scan[k] = k < 64 ? kZigzag[k] : kSpareSlot;
  }
  return scan;
}();

// Returns the natural indices of the AC coefficients read OR-ed together (0:
// only the DC one), which tells whether they all lie in the first row or
// column; or -1 on a code with twelve leading zeros or a scan position past
// 63. Inlined so that the reader's fields can live in registers.
[[gnu::always_inline]] inline int readCoefficients(BitReader& bits, const Dequantiser& dequantiser,
                                                   std::int16_t coefficients[kBlockSlots]) {
  // A copy from a constant compiles to a few vector stores; a memset of this
  // size becomes a string instruction with a costly start-up.
  static constexpr std::int16_t kZeros[64] = {};
  std::memcpy(coefficients, kZeros, sizeof kZeros);
  coefficients[0] = static_cast<std::int16_t>(bits.read(8) * 8);
  unsigned placed = 0;
  const auto placeShort = [&](unsigned k, std::int32_t level) {
    const unsigned n = kScanWithSpare[k];
    placed |= n;
    coefficients[n] = dequantiser.levels[n * Dequantiser::kLevelSlots + (static_cast<unsigned>(level) & 15)];
  };
  for (unsigned k = 0;;) {
    // The longest code with its sign takes 17 bits, an escape 28.
    bits.ensure(28);
    const ShortCodes common = kShortCodes[bits.peek(kShortCodeBits)];
    if (common.length != 0) [[likely]] {
      bits.skip(common.length & ~ShortCodes::kEndsBlock);
      const unsigned first = k + common.firstAdvance;
      placeShort(first, common.firstLevel);
      placeShort(first + common.secondAdvance, common.secondLevel);
      k += common.advance;
      if (k >= 64) {
        return -1;
      }
      if ((common.length & ShortCodes::kEndsBlock) != 0) {
        return static_cast<int>(placed & 63);
      }
      continue;
    }
    const std::uint32_t peek = bits.peek(16);
    if (peek < 16) {
      return -1;
    }
    const CodeEntry code = lookupCoefficientCode(peek);
    bits.skip(code.length);
    std::int32_t level;
    if (code.kind == CodeEntry::Escape) {
      k += bits.take(6) + 1;
      level = readEscapedLevel(bits);
    } else {
      k += code.run + 1u;
      level = bits.take(1) != 0 ? -code.level : code.level;
    }
    if (k >= 64) {
      return -1;
    }
    const unsigned n = kZigzag[k];
    placed |= n;
    coefficients[n] = dequantise(level, dequantiser.steps[n]);
  }
}

// Working on a copy lets the compiler keep the reader in registers through
// the loop instead of storing it for every code.
int readBlock(BitReader& bits, const Dequantiser& dequantiser, std::int16_t coefficients[kBlockSlots]) {
  BitReader reader = bits;
  const int placed = readCoefficients(reader, dequantiser, coefficients);
  bits = reader;
  return placed;
}

bool decodeBlock(BitReader& bits, const Dequantiser& dequantiser, IdctFn idct, std::uint8_t* dest,
                 std::ptrdiff_t stride) {
  alignas(32) std::int16_t block[kBlockSlots];
  const int placed = readCoefficients(bits, dequantiser, block);
  if (placed < 0) {
    return false;
  }
  if (placed == 0) {
    // The transform of a lone DC coefficient v x 8 is the flat value v.
    const int flat = block[0] / 8;
    for (int row = 0; row < 8; ++row) {
      std::memset(dest + row * stride, flat, 8);
    }
  } else if ((placed & 7) == 0) {
    transformFirstColumnOnly(block, dest, stride);
  } else if (placed < 8) {
    transformFirstRowOnly(block, dest, stride);
  } else {
    idct(block, dest, stride);
  }
  return true;
}

// The blocks in one loop, so that the block reading is compiled once, and
// on a copy of the reader, which then stays in registers through all of them.
bool decodeMacroblock(BitReader& bits, const Dequantiser& dequantiser, IdctFn idct, const Planes& planes, int row,
                      int column, unsigned lumaPattern) {
  const std::ptrdiff_t w = planes.width;
  std::uint8_t* y = planes.y + 16 * row * w + 16 * column;
  const std::ptrdiff_t chromaOffset = 8 * row * (w / 2) + 8 * column;
  std::uint8_t* const dests[6] = {
      y, y + 8, y + 8 * w, y + 8 * w + 8, planes.cb + chromaOffset, planes.cr + chromaOffset};
  const unsigned pattern = (lumaPattern & 0x0F) | 0x30;
  BitReader reader = bits;
  for (unsigned j = 0; j < 6; ++j) {
    if (((pattern >> j) & 1u) != 0 && !decodeBlock(reader, dequantiser, idct, dests[j], j < 4 ? w : w / 2)) {
      return false;
    }
  }
  bits = reader;
  return !bits.overran();
}

bool decodeSlice(const std::uint8_t* payload, std::size_t length, std::size_t offset, const PictureHeader& header,
                 const Dequantiser& dequantiser, IdctFn idct, const Planes& planes) {
  return walkSlice(payload, length, offset, header.allCoded, header.height / 16, header.width / 16,
                   [&](BitReader& bits, int row, int column, unsigned pattern) {
                     return decodeMacroblock(bits, dequantiser, idct, planes, row, column, pattern);
                   });
}

}  // namespace

bool readBlockCoefficients(BitReader& bits, const Dequantiser& dequantiser, std::int16_t coefficients[64],
                           bool& onlyDc) {
  std::int16_t block[kBlockSlots];
  const int placed = readBlock(bits, dequantiser, block);
  std::memcpy(coefficients, block, 64 * sizeof *block);
  onlyDc = placed == 0;
  return placed >= 0;
}

bool decodeSlices(const std::uint8_t* payload, std::size_t length, const PictureHeader& header,
                  const Dequantiser& dequantiser, IdctFn idct, std::uint8_t* picture) {
  const std::ptrdiff_t lumaSize = static_cast<std::ptrdiff_t>(header.width) * header.height;
  const Planes planes{picture, picture + lumaSize, picture + lumaSize + lumaSize / 4, header.width};
  for (std::size_t s = 0; s < header.sliceCount; ++s) {
    if (!decodeSlice(payload, length, header.slices[s], header, dequantiser, idct, planes)) {
      return false;
    }
  }
  return true;
}

}  // namespace marlin::codec
