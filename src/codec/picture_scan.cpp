#include "codec/picture_scan.h"

#include <algorithm>
#include <bit>

#include "codec/bit_reader.h"
#include "codec/coefficient_codes.h"
#include "codec/slice_walk.h"

namespace marlin::codec {

namespace {

// What the top sixteen bits of a block's codes hold: as many whole codes
// (each with its sign) as fit, possibly ending with end of block. The
// decoder reads at most two codes a step; stepping over three or four at a
// time is most of what makes the scan quicker than decoding.
class SkipStep {
 public:
  static constexpr unsigned kBits = 16;

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
  // Two bytes an entry (128 KiB): sixteen bits a step, and the table held in
  // the second-level cache, beat fewer bits from a table in the first.
  std::uint16_t packed_ = 0;
};

std::array<SkipStep, 1u << SkipStep::kBits> makeSkipSteps() {
  std::array<SkipStep, 1u << SkipStep::kBits> steps{};
  for (std::uint32_t bits = 0; bits < steps.size(); ++bits) {
    unsigned used = 0;
    unsigned advance = 0;
    bool endsBlock = false;
    while (used < SkipStep::kBits) {
      // Bits past the sixteen read as zeros: a code is only taken when it and
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

// Steps over one code the skip table does not hold (an escape, a code of
// over ten bits, or one running past the table's bits). False on a code
// with twelve leading zeros, as the decoder. Never end of block, which
// always fits. The bits must have been topped up.
[[gnu::always_inline]] inline bool skipLongCode(BitReader& bits, unsigned& k) {
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
  return true;
}

// One slice being scanned, a step at a time, so that two slices can be
// read in turn: stepping over codes is a chain of table loads, each
// waiting for the last, and two chains keep the processor busy where one
// leaves it waiting.
class SliceScan {
 public:
  enum class State : std::uint8_t { Running, Ended, Failed };

  SliceScan(const std::uint8_t* payload, std::size_t length, std::size_t offset, const PictureHeader& header,
            PictureScan& out)
      : walk_(payload, length, offset, header.allCoded, out.rows, out.columns), out_(out) {}

  int row() const { return walk_.row(); }
  bool failedAtStart() const { return walk_.failedAtStart(); }
  State state() const { return state_; }
  bool running() const { return state_ == State::Running; }

  void begin() { nextMacroblock(); }

  // Steps over some of the current block's codes, with the decoder's
  // checks: a code with twelve leading zeros fails, and so does a scan
  // position past 63 (positions only grow, so a group of codes passing 63
  // holds a code the decoder stops at).
  [[gnu::always_inline]] void step(const SkipStep* steps) {
    BitReader& bits = walk_.bits;
    bits.topUp();
    const SkipStep skip = steps[ahead_];
    if (skip.length() == 0) [[unlikely]] {
      if (!skipLongCode(bits, k_) || k_ >= 64) {
        state_ = State::Failed;
      }
      lookAhead();
      return;
    }
    k_ += skip.advance();
    if (k_ >= 64) [[unlikely]] {
      state_ = State::Failed;
      return;
    }
    unsigned ends = skip.endsBlock() ? 1u : 0u;
    // Kept opaque: the compiler would turn the selects below back into a
    // branch on it, which goes one way or the other at random.
    asm("" : "+r"(ends));
    if ((ends & (blocksLeft_ == 0 ? 1u : 0u)) != 0) {
      bits.skip(skip.length());
      endMacroblock();
      return;
    }
    // At an end of block, the next block's DC byte follows its codes.
    const unsigned next = static_cast<unsigned>(std::countr_zero(blocksLeft_));
    dc_[6 + ((next - 6) & (0u - ends))] = static_cast<std::uint8_t>(bits.peek(skip.length() + 8));
    blocksLeft_ &= blocksLeft_ - ends;
    bits.skip(skip.length() + 8 * ends);
    k_ &= ends - 1u;
    lookAhead();
  }

 private:
  [[gnu::always_inline]] void endMacroblock() {
    if (walk_.bits.overran()) {
      state_ = State::Failed;
      return;
    }
    // Over what an earlier slice of the same row may have coded there, as
    // the decoder writes over it.
    const int row = walk_.row();
    const int column = walk_.column();
    MacroblockScan& macroblock = out_.macroblocks[row * out_.columns + column];
    const bool codedBefore = out_.coded(row, column);
    const unsigned luma = walk_.pattern() & 0x0F;
    for (unsigned j = 0; j < 6; ++j) {
      if (((luma | 0x30) >> j & 1u) != 0 || !codedBefore) {
        macroblock.dc[j] = dc_[j];
      }
    }
    macroblock.lumaPattern = static_cast<std::uint8_t>((codedBefore ? macroblock.lumaPattern : 0) | luma);
    out_.codedRows[row] |= std::uint64_t{1} << column;
    out_.codedCount += codedBefore ? 0 : 1;
    nextMacroblock();
  }

  [[gnu::always_inline]] void nextMacroblock() {
    switch (walk_.next()) {
      case SliceWalk::Step::Ended:
        state_ = State::Ended;
        return;
      case SliceWalk::Step::Failed:
        state_ = State::Failed;
        return;
      case SliceWalk::Step::Macroblock:
        break;
    }
    blocksLeft_ = (walk_.pattern() & 0x0F) | 0x30;
    dc_ = {};
    beginBlock();
  }

  // Takes the DC byte of the macroblock's next coded block.
  [[gnu::always_inline]] void beginBlock() {
    const unsigned block = static_cast<unsigned>(std::countr_zero(blocksLeft_));
    blocksLeft_ &= blocksLeft_ - 1;
    walk_.bits.topUp();
    dc_[block] = static_cast<std::uint8_t>(walk_.bits.take(8));
    k_ = 0;
    lookAhead();
  }

  // The next step's table index, taken as soon as the bits before it are
  // skipped: a step takes at most 24 of the 57 or more bits a top-up leaves,
  // so the next top-up only adds bits below these sixteen, and the chain
  // from one step's table load to the next leaves the refill out.
  [[gnu::always_inline]] void lookAhead() { ahead_ = walk_.bits.peek(SkipStep::kBits); }

  SliceWalk walk_;
  PictureScan& out_;
  State state_ = State::Running;
  unsigned blocksLeft_ = 0;  // bit j: block j is still to be read
  unsigned k_ = 0;           // scan position in the current block
  std::uint32_t ahead_ = 0;  // the next SkipStep::kBits bits
  // Block j's DC byte; the last slot takes those of steps that end no block.
  std::array<std::uint8_t, 7> dc_{};
};

void runAlone(SliceScan& slice, const SkipStep* steps) {
  while (slice.running()) {
    slice.step(steps);
  }
}

// Scans two slices as the decoder reads them one after the other: in turn
// when they code different rows and the second's row holds nothing yet, so
// that neither writes over the other and a failure of the first can take
// back what the second did; else one after the other.
bool scanSlicePair(SliceScan& first, SliceScan& second, const SkipStep* steps, PictureScan& out) {
  const bool inTurn = !first.failedAtStart() && !second.failedAtStart() && first.row() != second.row() &&
                      out.codedRows[second.row()] == 0;
  first.begin();
  if (!inTurn) {
    runAlone(first, steps);
    if (first.state() == SliceScan::State::Failed) {
      return false;
    }
    second.begin();
    runAlone(second, steps);
    return second.state() != SliceScan::State::Failed;
  }
  second.begin();
  while (first.running() && second.running()) {
    first.step(steps);
    second.step(steps);
  }
  runAlone(first, steps);
  if (first.state() == SliceScan::State::Failed) {
    // The decoder never reached the second slice.
    out.codedCount -= std::popcount(out.codedRows[second.row()]);
    out.codedRows[second.row()] = 0;
    return false;
  }
  runAlone(second, steps);
  return second.state() != SliceScan::State::Failed;
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
  // Slices that code nothing add nothing and cannot fail: the others are
  // read in the same order without them. A conditional picture of a still
  // scene is mostly such slices, which then need none of a walk's set-up.
  std::array<std::uint32_t, kMaxSlices> coding;
  std::size_t codingCount = 0;
  for (std::size_t s = 0; s < header.sliceCount; ++s) {
    if (header.allCoded || !SliceWalk::codesNothing(payload, length, header.slices[s], out.rows)) {
      coding[codingCount++] = header.slices[s];
    }
  }
  const SkipStep* steps = skipSteps().data();
  for (std::size_t s = 0; s < codingCount; s += 2) {
    SliceScan first(payload, length, coding[s], header, out);
    if (s + 1 == codingCount) {
      first.begin();
      runAlone(first, steps);
      return first.state() != SliceScan::State::Failed;
    }
    SliceScan second(payload, length, coding[s + 1], header, out);
    if (!scanSlicePair(first, second, steps, out)) {
      return false;
    }
  }
  return true;
}

}  // namespace marlin::codec
