#include "codec/slice_decoder.h"

#include <algorithm>
#include <cstring>

#include "codec/bit_reader.h"
#include "codec/coefficient_codes.h"
#include "codec/quantiser.h"

namespace marlin::codec {

namespace {

constexpr std::uint32_t kPositiveLimit = 2047;
constexpr std::uint32_t kNegativeLimit = 2048;

struct Planes {
  std::uint8_t* y;
  std::uint8_t* cb;
  std::uint8_t* cr;
  std::ptrdiff_t width;
};

bool readCoefficients(BitReader& bits, const std::array<std::uint32_t, 64>& quantiser, std::int16_t coefficients[64],
                      bool& onlyDc) {
  // A copy from a constant compiles to a few vector stores; a memset of this
  // size becomes a string instruction with a costly start-up.
  static constexpr std::int16_t kZeros[64] = {};
  std::memcpy(coefficients, kZeros, sizeof kZeros);
  coefficients[0] = static_cast<std::int16_t>(bits.read(8) * 8);
  onlyDc = true;
  for (unsigned k = 0;;) {
    ++k;
    // The longest code with its sign takes 17 bits, an escape 28.
    bits.ensure(28);
    const std::uint32_t peek = bits.peek(16);
    if (peek < 16) {
      return false;
    }
    const CodeEntry code = lookupCoefficientCode(peek);
    bits.skip(code.length);
    if (code.kind == CodeEntry::EndOfBlock) {
      return true;
    }
    std::uint32_t magnitude;
    bool negative;
    if (code.kind == CodeEntry::Escape) {
      k += bits.take(6);
      const std::uint32_t level = bits.take(8);
      if (level == 0x00) {
        magnitude = bits.take(8);
        negative = false;
      } else if (level == 0x80) {
        magnitude = (256 - bits.take(8)) & 0xFF;
        negative = true;
      } else {
        negative = level > 0x80;
        magnitude = negative ? 256 - level : level;
      }
    } else {
      k += code.run;
      magnitude = code.level;
      negative = bits.take(1) != 0;
    }
    if (k >= 64) {
      return false;
    }
    const unsigned n = kZigzag[k];
    const std::uint32_t value = (magnitude * quantiser[n]) >> 2;
    coefficients[n] = negative ? static_cast<std::int16_t>(-static_cast<std::int32_t>(std::min(value, kNegativeLimit)))
                               : static_cast<std::int16_t>(std::min(value, kPositiveLimit));
    onlyDc = false;
  }
}

bool decodeBlock(BitReader& bits, const std::array<std::uint32_t, 64>& quantiser, IdctFn idct, std::uint8_t* dest,
                 std::ptrdiff_t stride) {
  alignas(32) std::int16_t block[64];
  bool onlyDc = true;
  if (!readBlockCoefficients(bits, quantiser, block, onlyDc)) {
    return false;
  }
  if (onlyDc) {
    // The transform of a lone DC coefficient v x 8 is the flat value v.
    const int flat = block[0] / 8;
    for (int row = 0; row < 8; ++row) {
      std::memset(dest + row * stride, flat, 8);
    }
    return true;
  }
  idct(block, dest, stride);
  return true;
}

bool decodeMacroblock(BitReader& bits, const std::array<std::uint32_t, 64>& quantiser, IdctFn idct,
                      const Planes& planes, int row, int column, unsigned lumaPattern) {
  const std::ptrdiff_t w = planes.width;
  std::uint8_t* y = planes.y + 16 * row * w + 16 * column;
  std::uint8_t* const luma[4] = {y, y + 8, y + 8 * w, y + 8 * w + 8};
  for (unsigned j = 0; j < 4; ++j) {
    if ((lumaPattern >> j) & 1u) {
      if (!decodeBlock(bits, quantiser, idct, luma[j], w)) {
        return false;
      }
    }
  }
  const std::ptrdiff_t chromaOffset = 8 * row * (w / 2) + 8 * column;
  return decodeBlock(bits, quantiser, idct, planes.cb + chromaOffset, w / 2) &&
         decodeBlock(bits, quantiser, idct, planes.cr + chromaOffset, w / 2) && !bits.overran();
}

bool decodeSlice(const std::uint8_t* payload, std::size_t length, std::size_t offset, const PictureHeader& header,
                 const std::array<std::uint32_t, 64>& quantiser, IdctFn idct, const Planes& planes) {
  BitReader bits(payload, length, offset);
  if (bits.read(24) != 0x000001) {
    return false;
  }
  const int row = static_cast<int>(bits.read(5));
  const int rows = header.height / 16;
  const int columns = header.width / 16;
  if (row >= rows) {
    return false;
  }
  int column = 0;
  for (;;) {
    unsigned pattern = 0x0F;
    if (!header.allCoded) {
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
    if (!decodeMacroblock(bits, quantiser, idct, planes, row, column, pattern)) {
      return false;
    }
    if (++column >= columns) {
      return true;
    }
  }
}

}  // namespace

bool readBlockCoefficients(BitReader& bits, const std::array<std::uint32_t, 64>& quantiser,
                           std::int16_t coefficients[64], bool& onlyDc) {
  // Working on copies lets the compiler keep the reader and the flag in
  // registers through the loop instead of storing them for every code.
  BitReader reader = bits;
  bool dcOnly = true;
  const bool read = readCoefficients(reader, quantiser, coefficients, dcOnly);
  bits = reader;
  onlyDc = dcOnly;
  return read;
}

bool decodeSlices(const std::uint8_t* payload, std::size_t length, const PictureHeader& header,
                  const std::array<std::uint32_t, 64>& quantiser, IdctFn idct, std::uint8_t* picture) {
  const std::ptrdiff_t lumaSize = static_cast<std::ptrdiff_t>(header.width) * header.height;
  const Planes planes{picture, picture + lumaSize, picture + lumaSize + lumaSize / 4, header.width};
  for (std::size_t s = 0; s < header.sliceCount; ++s) {
    if (!decodeSlice(payload, length, header.slices[s], header, quantiser, idct, planes)) {
      return false;
    }
  }
  return true;
}

}  // namespace marlin::codec
