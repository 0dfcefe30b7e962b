#include "codec/picture_scan.h"

#include <algorithm>

#include "codec/bit_reader.h"
#include "codec/coefficient_codes.h"
#include "codec/slice_walk.h"

namespace marlin::codec {

namespace {

// What the top fourteen bits of a block's codes hold: as many whole codes
// (each with its sign) as fit, possibly ending with end of block. The
// decoder reads at most two codes a step; stepping over three or four at a
// time is most of what makes the scan quicker than decoding.
class SkipStep {
 public:
  static constexpr unsigned kBits = 14;

  constexpr SkipStep() = default;
  constexpr SkipStep(unsigned length, unsigned advance, bool endsBlock)
      : packed_(static_cast<std::uint16_t>(length | (endsBlock ? kEndsBlock : 0u) | advance << 6)) {}

  // Bits of whole codes; 0: the first code needs the one-code path.
  unsigned length() const { return packed_ & 31u; }
  bool endsBlock() const { return (packed_ & kEndsBlock) != 0; }
  // Scan positions moved, up to 255.
  unsigned advance() const { return packed_ >> 6; }

 private:
  static constexpr unsigned kEndsBlock = 32;
  // Two bytes an entry: the table (32 KiB) stays near the first-level cache.
  std::uint16_t packed_ = 0;
};

std::array<SkipStep, 1u << SkipStep::kBits> makeSkipSteps() {
  std::array<SkipStep, 1u << SkipStep::kBits> steps{};
  for (std::uint32_t bits = 0; bits < steps.size(); ++bits) {
    unsigned used = 0;
    unsigned advance = 0;
    bool endsBlock = false;
    while (used < SkipStep::kBits) {
      // Bits past the fourteen read as zeros: a code is only taken when it and
      // its sign lie wholly inside, and codes are prefix-free.
      const std::uint32_t peek = (bits << used << (16 - SkipStep::kBits)) & 0xFFFF;
      if (peek < 16) {
        break;
      }
      const CodeEntry code = lookupCoefficientCode(peek);
      const unsigned length = code.length + (code.kind == CodeEntry::Coefficient ? 1u : 0u);
      if (code.kind == CodeEntry::Invalid || code.kind == CodeEntry::Escape || code.length == 0 ||
          used + length > SkipStep::kBits) {
        break;
      }
      used += length;
      if (code.kind == CodeEntry::EndOfBlock) {
        endsBlock = true;
        break;
      }
      advance = std::min(advance + code.run + 1u, 255u);
    }
    steps[bits] = SkipStep(used, advance, endsBlock);
  }
  return steps;
}

const std::array<SkipStep, 1u << SkipStep::kBits>& skipSteps() {
  static const auto steps = makeSkipSteps();
  return steps;
}

// Steps over one block's coefficient codes after its DC byte, with the
// decoder's checks: false on a code with twelve leading zeros or a scan
// position past 63 (positions only grow, so a group of codes passing 63 has
// a code the decoder stops at). Inlined so that the reader stays in
// registers.
[[gnu::always_inline]] inline bool skipCoefficients(BitReader& bits, const SkipStep* steps) {
  for (unsigned k = 0;;) {
    // An escape takes 28 bits.
    bits.ensure(28);
    const SkipStep step = steps[bits.peek(SkipStep::kBits)];
    if (step.length() != 0) [[likely]] {
      bits.skip(step.length());
      k += step.advance();
      if (k >= 64) {
        return false;
      }
      if (step.endsBlock()) {
        return true;
      }
      continue;
    }
    const std::uint32_t peek = bits.peek(16);
    if (peek < 16) {
      return false;
    }
    const CodeEntry code = lookupCoefficientCode(peek);
    bits.skip(code.length);
    if (code.kind == CodeEntry::Escape) {
      k += bits.take(6) + 1;
      // Eight bits of level, sixteen when the first eight are 0x00 or 0x80.
      const std::uint32_t level = bits.take(8);
      if (level == 0x00 || level == 0x80) {
        bits.skip(8);
      }
    } else {
      k += code.run + 1u;
      bits.skip(1);
    }
    if (k >= 64) {
      return false;
    }
  }
}

// Reads one macroblock's blocks into out, over what an earlier slice of the
// same row may have coded there (codedBefore), as the decoder writes over it.
bool scanMacroblock(BitReader& bits, unsigned lumaPattern, const SkipStep* steps, bool codedBefore,
                    MacroblockScan& out) {
  const unsigned pattern = (lumaPattern & 0x0F) | 0x30;
  std::array<std::uint8_t, 6> dc{};
  if (codedBefore) {
    dc = out.dc;
  }
  BitReader reader = bits;
  for (unsigned j = 0; j < 6; ++j) {
    if (((pattern >> j) & 1u) == 0) {
      continue;
    }
    dc[j] = static_cast<std::uint8_t>(reader.read(8));
    if (!skipCoefficients(reader, steps)) {
      return false;
    }
  }
  bits = reader;
  if (bits.overran()) {
    return false;
  }
  out.lumaPattern = static_cast<std::uint8_t>((codedBefore ? out.lumaPattern : 0) | (lumaPattern & 0x0F));
  out.dc = dc;
  return true;
}

bool scanSlice(const std::uint8_t* payload, std::size_t length, std::size_t offset, const PictureHeader& header,
               const SkipStep* steps, PictureScan& out) {
  return walkSlice(
      payload, length, offset, header.allCoded, out.rows, out.columns,
      [&](BitReader& bits, int row, int column, unsigned pattern) {
        const bool codedBefore = out.coded(row, column);
        if (!scanMacroblock(bits, pattern, steps, codedBefore, out.macroblocks[row * out.columns + column])) {
          return false;
        }
        out.codedRows[row] |= std::uint64_t{1} << column;
        out.codedCount += codedBefore ? 0 : 1;
        return true;
      });
}

}  // namespace

bool scanPicture(const std::uint8_t* payload, std::size_t length, const PictureHeader& header, PictureScan& out) {
  out.codedCount = 0;
  out.columns = header.width / 16;
  out.rows = header.height / 16;
  out.codedRows.fill(0);
  if (out.columns <= 0 || out.columns > kMaxMacroblockColumns || out.rows <= 0 || out.rows > kMaxMacroblockRows) {
    out.columns = 0;
    out.rows = 0;
    return false;
  }
  if (payload == nullptr || length < 5 || header.quality == 0) {
    return false;
  }
  const SkipStep* steps = skipSteps().data();
  for (std::size_t s = 0; s < header.sliceCount; ++s) {
    if (!scanSlice(payload, length, header.slices[s], header, steps, out)) {
      return false;
    }
  }
  return true;
}

}  // namespace marlin::codec
