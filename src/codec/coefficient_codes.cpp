#include "codec/coefficient_codes.h"

#include <algorithm>
#include <iterator>

namespace marlin::codec {

namespace {

constexpr CoefficientCode kCodes[] = {
    {"11", 0, 1},
    {"011", 1, 1},
    {"0100", 0, 2},
    {"0101", 2, 1},
    {"00101", 0, 3},
    {"00111", 3, 1},
    {"00110", 4, 1},
    {"000110", 1, 2},
    {"000111", 5, 1},
    {"000101", 6, 1},
    {"000100", 7, 1},
    {"0000110", 0, 4},
    {"0000100", 2, 2},
    {"0000111", 8, 1},
    {"0000101", 9, 1},
    {"00100110", 0, 5},
    {"00100001", 0, 6},
    {"00100101", 1, 3},
    {"00100100", 3, 2},
    {"00100111", 10, 1},
    {"00100011", 11, 1},
    {"00100010", 12, 1},
    {"00100000", 13, 1},
    {"0000001010", 0, 7},
    {"0000001100", 1, 4},
    {"0000001011", 2, 3},
    {"0000001111", 4, 2},
    {"0000001001", 5, 2},
    {"0000001110", 14, 1},
    {"0000001101", 15, 1},
    {"0000001000", 16, 1},
    {"000000011101", 0, 8},
    {"000000011000", 0, 9},
    {"000000010011", 0, 10},
    {"000000010000", 0, 11},
    {"000000011011", 1, 5},
    {"000000010100", 2, 4},
    {"000000011100", 3, 3},
    {"000000010010", 4, 3},
    {"000000011110", 6, 2},
    {"000000010101", 7, 2},
    {"000000010001", 8, 2},
    {"000000011111", 17, 1},
    {"000000011010", 18, 1},
    {"000000011001", 19, 1},
    {"000000010111", 20, 1},
    {"000000010110", 21, 1},
    {"0000000011010", 0, 12},
    {"0000000011001", 0, 13},
    {"0000000011000", 0, 14},
    {"0000000010111", 0, 15},
    {"0000000010110", 1, 6},
    {"0000000010101", 1, 7},
    {"0000000010100", 2, 5},
    {"0000000010011", 3, 4},
    {"0000000010010", 5, 3},
    {"0000000010001", 9, 2},
    {"0000000010000", 10, 2},
    {"0000000011111", 22, 1},
    {"0000000011110", 23, 1},
    {"0000000011101", 24, 1},
    {"0000000011100", 25, 1},
    {"0000000011011", 26, 1},
    {"00000000011111", 0, 16},
    {"00000000011110", 0, 17},
    {"00000000011101", 0, 18},
    {"00000000011100", 0, 19},
    {"00000000011011", 0, 20},
    {"00000000011010", 0, 21},
    {"00000000011001", 0, 22},
    {"00000000011000", 0, 23},
    {"00000000010111", 0, 24},
    {"00000000010110", 0, 25},
    {"00000000010101", 0, 26},
    {"00000000010100", 0, 27},
    {"00000000010011", 0, 28},
    {"00000000010010", 0, 29},
    {"00000000010001", 0, 30},
    {"00000000010000", 0, 31},
    {"000000000011000", 0, 32},
    {"000000000010111", 0, 33},
    {"000000000010110", 0, 34},
    {"000000000010101", 0, 35},
    {"000000000010100", 0, 36},
    {"000000000010011", 0, 37},
    {"000000000010010", 0, 38},
    {"000000000010001", 0, 39},
    {"000000000010000", 0, 40},
    {"000000000011111", 1, 8},
    {"000000000011110", 1, 9},
    {"000000000011101", 1, 10},
    {"000000000011100", 1, 11},
    {"000000000011011", 1, 12},
    {"000000000011010", 1, 13},
    {"000000000011001", 1, 14},
    {"0000000000010011", 1, 15},
    {"0000000000010010", 1, 16},
    {"0000000000010001", 1, 17},
    {"0000000000010000", 1, 18},
    {"0000000000010100", 6, 3},
    {"0000000000011010", 11, 2},
    {"0000000000011001", 12, 2},
    {"0000000000011000", 13, 2},
    {"0000000000010111", 14, 2},
    {"0000000000010110", 15, 2},
    {"0000000000010101", 16, 2},
    {"0000000000011111", 27, 1},
    {"0000000000011110", 28, 1},
    {"0000000000011101", 29, 1},
    {"0000000000011100", 30, 1},
    {"0000000000011011", 31, 1},
};

// Sets entry at every index of table whose top bits (of indexBits) are
// the code's: the indices of every peek that starts with it.
template <class Entry, std::size_t N>
constexpr void fillCode(std::array<Entry, N>& table, unsigned indexBits, std::string_view bits, Entry entry) {
  std::size_t prefix = 0;
  for (const char bit : bits) {
    prefix = prefix << 1 | static_cast<std::size_t>(bit - '0');
  }
  const std::size_t spread = std::size_t{1} << (indexBits - bits.size());
  for (std::size_t i = prefix * spread; i < (prefix + 1) * spread; ++i) {
    table[i] = entry;
  }
}

// Filled code by code rather than by searching the codes for each index,
// which would take compilers past their limits on constant evaluation.
constexpr CoefficientLookup makeLookup() {
  CoefficientLookup lookup{};
  const auto add = [&lookup](std::string_view bits, CodeEntry entry) {
    if (bits.size() <= 10) {
      fillCode(lookup.shortCodes, 16 - CoefficientLookup::kShortShift, bits, entry);
    } else {
      fillCode(lookup.longCodes, 16, bits, entry);
    }
  };
  add(kEndOfBlockBits, {CodeEntry::EndOfBlock, 0, 0, static_cast<std::uint8_t>(kEndOfBlockBits.size())});
  add(kEscapeBits, {CodeEntry::Escape, 0, 0, static_cast<std::uint8_t>(kEscapeBits.size())});
  for (const CoefficientCode& code : kCodes) {
    add(code.bits, {CodeEntry::Coefficient, code.run, code.level, static_cast<std::uint8_t>(code.bits.size())});
  }
  return lookup;
}

// A code of up to ten bits followed by its sign bit.
struct SignedCode {
  std::array<char, 11> bits;
  std::uint8_t length;
  std::uint8_t advance;
  std::int16_t level;

  constexpr std::string_view view() const { return {bits.data(), length}; }
};

constexpr std::size_t kSignedCodeCount = 2 * std::size(kCodes);

constexpr std::array<SignedCode, kSignedCodeCount> signedShortCodes(std::size_t& count) {
  std::array<SignedCode, kSignedCodeCount> codes{};
  count = 0;
  for (const CoefficientCode& code : kCodes) {
    if (code.bits.size() > 10) {
      continue;
    }
    for (const char sign : {'0', '1'}) {
      SignedCode& signedCode = codes[count++];
      std::copy(code.bits.begin(), code.bits.end(), signedCode.bits.begin());
      signedCode.bits[code.bits.size()] = sign;
      signedCode.length = static_cast<std::uint8_t>(code.bits.size() + 1);
      signedCode.advance = static_cast<std::uint8_t>(code.run + 1);
      signedCode.level = static_cast<std::int16_t>(sign == '1' ? -code.level : code.level);
    }
  }
  return codes;
}

// Bits of up to kShortCodeBits, put together code by code.
struct Prefix {
  std::array<char, kShortCodeBits> bits{};
  std::size_t size = 0;

  constexpr bool fits(std::string_view more) const { return size + more.size() <= kShortCodeBits; }
  constexpr Prefix then(std::string_view more) const {
    Prefix longer = *this;
    std::copy(more.begin(), more.end(), longer.bits.begin() + static_cast<std::ptrdiff_t>(size));
    longer.size += more.size();
    return longer;
  }
  constexpr std::string_view view() const { return {bits.data(), size}; }
};

// Filled from the shorter prefixes to the longer ones, each of which
// overwrites the part of a shorter one's entries that it tells more about.
constexpr std::array<ShortCodes, 1u << kShortCodeBits> makeShortCodes() {
  std::array<ShortCodes, 1u << kShortCodeBits> table{};
  std::size_t count = 0;
  const std::array<SignedCode, kSignedCodeCount> codes = signedShortCodes(count);
  const auto endingBlock = [&table](const Prefix& prefix, ShortCodes entry) {
    if (prefix.fits(kEndOfBlockBits)) {
      const Prefix ended = prefix.then(kEndOfBlockBits);
      entry.length = static_cast<std::uint8_t>(ended.size | ShortCodes::kEndsBlock);
      fillCode(table, kShortCodeBits, ended.view(), entry);
    }
  };
  endingBlock(Prefix{}, {ShortCodes::kAbsent, ShortCodes::kAbsent, 0, 0, 0, 0});
  for (std::size_t i = 0; i < count; ++i) {
    const SignedCode& first = codes[i];
    const Prefix one = Prefix{}.then(first.view());
    const ShortCodes single{first.advance, ShortCodes::kAbsent, first.advance, first.length, first.level, 0};
    fillCode(table, kShortCodeBits, one.view(), single);
    endingBlock(one, single);
    for (std::size_t j = 0; j < count; ++j) {
      const SignedCode& second = codes[j];
      if (!one.fits(second.view())) {
        continue;
      }
      const Prefix two = one.then(second.view());
      const ShortCodes pair{first.advance,
                            second.advance,
                            static_cast<std::uint8_t>(first.advance + second.advance),
                            static_cast<std::uint8_t>(two.size),
                            first.level,
                            second.level};
      fillCode(table, kShortCodeBits, two.view(), pair);
      endingBlock(two, pair);
    }
  }
  return table;
}

// kLargestShortLevel is the largest level of a code of up to ten bits.
static_assert([] {
  int largest = 0;
  for (const CoefficientCode& code : kCodes) {
    if (code.bits.size() <= 10) {
      largest = std::max<int>(largest, code.level);
    }
  }
  return largest == kLargestShortLevel;
}());

// Every code of up to ten bits starts with fewer than seven zeros, and
// every longer one with seven.
static_assert([] {
  for (const CoefficientCode& code : kCodes) {
    if ((code.bits.size() <= 10) != (code.bits.find('1') < 7)) {
      return false;
    }
  }
  return true;
}());

}  // namespace

constinit const CoefficientLookup kCoefficientLookup = makeLookup();
constinit const std::array<ShortCodes, 1u << kShortCodeBits> kShortCodes = makeShortCodes();

std::span<const CoefficientCode> coefficientCodes() { return kCodes; }

}  // namespace marlin::codec
