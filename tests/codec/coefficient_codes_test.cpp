#include "codec/coefficient_codes.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace marlin::codec {
namespace {

struct NamedCode {
  std::string bits;
  CodeEntry::Kind kind;
  int run;
  int level;
};

// The run/level codes plus end of block and escape.
std::vector<NamedCode> allCodes() {
  std::vector<NamedCode> codes;
  for (const CoefficientCode& code : coefficientCodes()) {
    codes.push_back({std::string(code.bits), CodeEntry::Coefficient, code.run, code.level});
  }
  codes.push_back({std::string(kEndOfBlockBits), CodeEntry::EndOfBlock, 0, 0});
  codes.push_back({std::string(kEscapeBits), CodeEntry::Escape, 0, 0});
  return codes;
}

bool isPrefixOf(const std::string& a, const std::string& b) {
  return a.size() <= b.size() && b.compare(0, a.size(), a) == 0;
}

TEST(CoefficientCodes, CoverExactlyTheRunLevelPairsOfTheMpegTable) {
  // Run 0 up to level 40, run 1 up to 18, run 2 up to 5, run 3 up to 4,
  // runs 4-6 up to 3, runs 7-16 up to 2, runs 17-31 level 1 only.
  const auto maxLevel = [](int run) {
    if (run == 0) return 40;
    if (run == 1) return 18;
    if (run == 2) return 5;
    if (run == 3) return 4;
    if (run <= 6) return 3;
    if (run <= 16) return 2;
    return 1;
  };
  std::set<std::pair<int, int>> expected;
  for (int run = 0; run <= 31; ++run) {
    for (int level = 1; level <= maxLevel(run); ++level) {
      expected.insert({run, level});
    }
  }
  std::set<std::pair<int, int>> present;
  for (const CoefficientCode& code : coefficientCodes()) {
    EXPECT_TRUE(present.insert({code.run, code.level}).second)
        << "duplicate run " << int(code.run) << " level " << int(code.level);
    EXPECT_GE(code.bits.size(), 2u);
    EXPECT_LE(code.bits.size(), 16u);
    EXPECT_EQ(code.bits.find_first_not_of("01"), std::string_view::npos) << code.bits;
  }
  EXPECT_EQ(present, expected);
  EXPECT_EQ(coefficientCodes().size(), 111u);
}

TEST(CoefficientCodes, SampleCodesAreTheStandardOnes) {
  // A selection from every length class of the table, without sign bits.
  const std::map<std::pair<int, int>, std::string> standard = {
      {{0, 1}, "11"},
      {{1, 1}, "011"},
      {{0, 2}, "0100"},
      {{2, 1}, "0101"},
      {{0, 3}, "00101"},
      {{4, 1}, "00110"},
      {{1, 2}, "000110"},
      {{7, 1}, "000100"},
      {{0, 4}, "0000110"},
      {{9, 1}, "0000101"},
      {{0, 5}, "00100110"},
      {{13, 1}, "00100000"},
      {{0, 7}, "0000001010"},
      {{16, 1}, "0000001000"},
      {{0, 8}, "000000011101"},
      {{21, 1}, "000000010110"},
      {{0, 12}, "0000000011010"},
      {{26, 1}, "0000000011011"},
      {{0, 16}, "00000000011111"},
      {{0, 31}, "00000000010000"},
      {{0, 32}, "000000000011000"},
      {{1, 8}, "000000000011111"},
      {{1, 15}, "0000000000010011"},
      {{6, 3}, "0000000000010100"},
      {{27, 1}, "0000000000011111"},
      {{31, 1}, "0000000000011011"},
  };
  std::map<std::pair<int, int>, std::string> table;
  for (const CoefficientCode& code : coefficientCodes()) {
    table[{code.run, code.level}] = std::string(code.bits);
  }
  for (const auto& [runLevel, bits] : standard) {
    EXPECT_EQ(table[runLevel], bits) << "run " << runLevel.first << " level " << runLevel.second;
  }
  EXPECT_EQ(kEndOfBlockBits, "10");
  EXPECT_EQ(kEscapeBits, "000001");
}

TEST(CoefficientCodes, FormAPrefixFreeCodeThatIsCompleteWithTheInvalidRegion) {
  const std::vector<NamedCode> codes = allCodes();
  for (std::size_t i = 0; i < codes.size(); ++i) {
    for (std::size_t j = 0; j < codes.size(); ++j) {
      if (i != j) {
        ASSERT_FALSE(isPrefixOf(codes[i].bits, codes[j].bits)) << codes[i].bits << " is a prefix of " << codes[j].bits;
      }
    }
    // No code may start with the twelve zeros that mark invalid input.
    ASSERT_NE(codes[i].bits.rfind("000000000000", 0), 0u) << codes[i].bits;
  }
  // Kraft sum in units of 2^-16: the codes plus the invalid region
  // "000000000000" fill the code space exactly.
  std::uint64_t kraft = std::uint64_t{1} << (16 - 12);
  for (const NamedCode& code : codes) {
    kraft += std::uint64_t{1} << (16 - code.bits.size());
  }
  EXPECT_EQ(kraft, std::uint64_t{1} << 16);
}

TEST(CoefficientCodes, LookupAgreesWithAPrefixMatchForEverySixteenBitPeek) {
  const std::vector<NamedCode> codes = allCodes();
  for (std::uint32_t peek = 0; peek <= 0xFFFF; ++peek) {
    std::string bits(16, '0');
    for (int i = 0; i < 16; ++i) {
      bits[i] = ((peek >> (15 - i)) & 1u) ? '1' : '0';
    }
    const NamedCode* match = nullptr;
    int matches = 0;
    for (const NamedCode& code : codes) {
      if (isPrefixOf(code.bits, bits)) {
        match = &code;
        ++matches;
      }
    }
    const CodeEntry entry = lookupCoefficientCode(peek);
    if (peek < 16) {
      ASSERT_EQ(matches, 0) << peek;
      ASSERT_EQ(entry.kind, CodeEntry::Invalid) << peek;
      continue;
    }
    ASSERT_EQ(matches, 1) << "peek " << bits;
    ASSERT_EQ(entry.kind, match->kind) << "peek " << bits;
    ASSERT_EQ(entry.length, match->bits.size()) << "peek " << bits;
    if (match->kind == CodeEntry::Coefficient) {
      ASSERT_EQ(entry.run, match->run) << "peek " << bits;
      ASSERT_EQ(entry.level, match->level) << "peek " << bits;
    }
  }
}

// The code among codes at the start of bits, or null.
const NamedCode* codeAt(const std::vector<NamedCode>& codes, const std::string& bits) {
  for (const NamedCode& code : codes) {
    if (isPrefixOf(code.bits, bits)) {
      return &code;
    }
  }
  return nullptr;
}

TEST(CoefficientCodes, ShortTableReadsUpToTwoSignedShortCodesAndAnEndOfBlockPerPeek) {
  const std::vector<NamedCode> codes = allCodes();
  std::map<std::string, int> peeks;  // by what the entry holds
  for (std::uint32_t peek = 0; peek < kShortCodes.size(); ++peek) {
    std::string bits(kShortCodeBits, '0');
    for (unsigned i = 0; i < kShortCodeBits; ++i) {
      bits[i] = ((peek >> (kShortCodeBits - 1 - i)) & 1u) ? '1' : '0';
    }
    SCOPED_TRACE("peek " + bits);
    // Greedily: up to two run/level codes of up to ten bits whose sign bit
    // is in the peek too, then end of block if it follows whole.
    std::size_t used = 0;
    std::vector<std::pair<int, int>> coefficients;  // advance, signed level
    while (coefficients.size() < 2) {
      const NamedCode* code = codeAt(codes, bits.substr(used));
      if (code == nullptr || code->kind != CodeEntry::Coefficient || code->bits.size() > 10 ||
          used + code->bits.size() + 1 > kShortCodeBits) {
        break;
      }
      const bool negative = bits[used + code->bits.size()] == '1';
      coefficients.emplace_back(code->run + 1, negative ? -code->level : code->level);
      used += code->bits.size() + 1;
    }
    const NamedCode* after = codeAt(codes, bits.substr(used));
    const bool ends = after != nullptr && after->kind == CodeEntry::EndOfBlock;
    used += ends ? after->bits.size() : 0;

    const ShortCodes entry = kShortCodes[peek];
    if (used == 0) {
      ASSERT_EQ(entry.length, 0);
      ++peeks["left to the lookup"];
      continue;
    }
    ASSERT_EQ(entry.length, used | (ends ? ShortCodes::kEndsBlock : 0));
    // A coefficient the entry does not hold is placed past the block even
    // from the last scan position, and moves nothing.
    int advance = 0;
    const auto check = [&](std::size_t i, int entryAdvance, int entryLevel) {
      if (i < coefficients.size()) {
        EXPECT_EQ(entryAdvance, coefficients[i].first);
        EXPECT_EQ(entryLevel, coefficients[i].second);
        advance += coefficients[i].first;
      } else {
        EXPECT_EQ(entryAdvance, ShortCodes::kAbsent);
        EXPECT_EQ(entryLevel, 0);
      }
    };
    check(0, entry.firstAdvance, entry.firstLevel);
    check(1, entry.secondAdvance, entry.secondLevel);
    EXPECT_EQ(entry.advance, advance);
    ++peeks[std::to_string(coefficients.size()) + (ends ? " and end of block" : "")];
  }
  // The invalid region, escape and codes starting with seven zeros ("0000001"
  // and "0000000") take the lookup; every other peek starts with a short code
  // or end of block, and most hold two codes or end the block.
  EXPECT_EQ(peeks["left to the lookup"], 16 + 32);
  EXPECT_EQ(peeks["0 and end of block"], 512);
  EXPECT_GT(peeks["2"] + peeks["2 and end of block"] + peeks["1 and end of block"], 1024);
}

}  // namespace
}  // namespace marlin::codec
