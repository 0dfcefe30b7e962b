// The container's building blocks: the header check byte, block header
// layout in both byte orders, time stamps as calendar time and the frame
// periods that go with the codec variants.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <ctime>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "base/calendar.h"
#include "base/frame_period.h"
#include "source/block_header.h"
#include "source/checksum8.h"

namespace marlin {
namespace {

// ---------------------------------------------------------------------------
// Checksum8

// The check byte computed straight from its definition, without a table:
// T[i] is i·x^8 reduced modulo x^8+x^2+x+1 by polynomial long division, the
// walk is c ^= T[c ^ b] from 0xFF, and the result is complemented.
std::uint8_t polynomialRemainder(std::uint8_t i) {
  std::uint32_t value = static_cast<std::uint32_t>(i) << 8;
  for (int bit = 15; bit >= 8; --bit) {
    if (value & (1u << bit)) {
      value ^= 0x107u << (bit - 8);
    }
  }
  return static_cast<std::uint8_t>(value);
}

std::uint8_t checkByteByDefinition(const std::vector<std::uint8_t>& bytes) {
  std::uint8_t c = 0xFF;
  for (const std::uint8_t b : bytes) {
    c = static_cast<std::uint8_t>(c ^ polynomialRemainder(static_cast<std::uint8_t>(c ^ b)));
  }
  return static_cast<std::uint8_t>(~c);
}

TEST(Checksum8, DocumentedExamples) {
  const std::uint8_t zeros[7] = {};
  EXPECT_EQ(checksum8(zeros, 7), 0x0C);
  // time 1000000000 little-endian, channel mask 1, frame interval 1
  const std::uint8_t header[7] = {0x00, 0xCA, 0x9A, 0x3B, 0x01, 0x00, 0x01};
  EXPECT_EQ(checksum8(header, 7), 0x23);
}

TEST(Checksum8, ReferenceTableEntriesOfTheDefinition) {
  // Guards the oracle below against a slip in its polynomial arithmetic.
  EXPECT_EQ(polynomialRemainder(0x01), 0x07);
  EXPECT_EQ(polynomialRemainder(0x80), 0x89);
  EXPECT_EQ(polynomialRemainder(0xFF), 0xF3);
  EXPECT_EQ(checkByteByDefinition(std::vector<std::uint8_t>(7, 0)), 0x0C);
}

TEST(Checksum8, AgreesWithTheDefinitionOnRandomInputs) {
  std::mt19937 random(20240501);
  std::uniform_int_distribution<int> byte(0, 255);
  std::uniform_int_distribution<int> length(0, 32);
  for (int round = 0; round < 5000; ++round) {
    std::vector<std::uint8_t> bytes(round < 4000 ? 7 : static_cast<std::size_t>(length(random)));
    for (auto& b : bytes) {
      b = static_cast<std::uint8_t>(byte(random));
    }
    ASSERT_EQ(checksum8(bytes.data(), bytes.size()), checkByteByDefinition(bytes)) << "round " << round;
  }
}

// T is a bijection (x^8 is invertible modulo a polynomial with a constant
// term), so for a given state the last step c ^ T[c ^ b] takes a different
// value for every last byte: the frame interval byte can never be changed
// without changing the check.
TEST(Checksum8, EveryValueOfTheLastByteGivesADifferentCheck) {
  std::uint8_t header[7] = {0x00, 0xCA, 0x9A, 0x3B, 0x01, 0x00, 0x00};
  std::set<std::uint8_t> seen;
  for (int last = 0; last < 256; ++last) {
    header[6] = static_cast<std::uint8_t>(last);
    seen.insert(checksum8(header, 7));
  }
  EXPECT_EQ(seen.size(), 256u);
}

// ---------------------------------------------------------------------------
// Time stamps as calendar time

CalendarTime calendar(int year, int month, int day, int hour, int minute, int second, int dayOfWeek) {
  return CalendarTime{static_cast<std::uint16_t>(year),      static_cast<std::uint16_t>(month),
                      static_cast<std::uint16_t>(dayOfWeek), static_cast<std::uint16_t>(day),
                      static_cast<std::uint16_t>(hour),      static_cast<std::uint16_t>(minute),
                      static_cast<std::uint16_t>(second),    0};
}

struct CalendarCase {
  const char* what;
  std::uint32_t time;
  std::int32_t bias;
  CalendarTime expected;
};

std::ostream& operator<<(std::ostream& out, const CalendarCase& c) {
  return out << c.what << " (" << c.time << ", bias " << c.bias << ")";
}

class CalendarExamples : public ::testing::TestWithParam<CalendarCase> {};

TEST_P(CalendarExamples, Converts) {
  const CalendarCase& c = GetParam();
  EXPECT_EQ(calendarFromTimestamp(c.time, c.bias), c.expected)
      << c.what << ": got " << formatCalendarTime(calendarFromTimestamp(c.time, c.bias));
}

INSTANTIATE_TEST_SUITE_P(
    Documented, CalendarExamples,
    ::testing::Values(CalendarCase{"one billion seconds", 1000000000, 0, calendar(2001, 9, 9, 1, 46, 40, 0)},
                      CalendarCase{"the epoch, a Thursday", 0, 0, calendar(1970, 1, 1, 0, 0, 0, 4)},
                      CalendarCase{"leap day of 2000", 951782400, 0, calendar(2000, 2, 29, 0, 0, 0, 2)},
                      // A bias is seconds west of UTC: it is subtracted.
                      CalendarCase{"one hour west", 1000000000, 3600, calendar(2001, 9, 9, 0, 46, 40, 0)},
                      CalendarCase{"two hours east", 1000000000, -7200, calendar(2001, 9, 9, 3, 46, 40, 0)},
                      CalendarCase{"east of UTC at the epoch", 0, -3600, calendar(1970, 1, 1, 1, 0, 0, 4)},
                      CalendarCase{"bias crossing midnight into the previous year", 1262304000, 1,
                                   calendar(2009, 12, 31, 23, 59, 59, 4)},
                      // (0 - 1) mod 2^32 = 4294967295 s = 49710 days + 6:28:15; day 49710 is
                      // a Sunday ((49710 + 4) mod 7 = 0) and is 2106-02-07 in the Gregorian
                      // calendar, but the 4-year rule counts 2100 as a leap year, one day
                      // more, so it names the day before.
                      CalendarCase{"wrap-around below zero", 0, 1, calendar(2106, 2, 6, 6, 28, 15, 0)},
                      CalendarCase{"largest time stamp", 0xFFFFFFFFu, 0, calendar(2106, 2, 6, 6, 28, 15, 0)}));

TEST(Calendar, BiasIsAppliedModulo2To32) {
  std::mt19937 random(7);
  std::uniform_int_distribution<std::uint32_t> anyTime;
  std::uniform_int_distribution<std::int32_t> anyBias(-14 * 3600, 12 * 3600);
  for (int round = 0; round < 2000; ++round) {
    const std::uint32_t t = anyTime(random);
    const std::int32_t bias = anyBias(random);
    const auto shifted = static_cast<std::uint32_t>(static_cast<std::uint64_t>(t) - static_cast<std::int64_t>(bias));
    ASSERT_EQ(calendarFromTimestamp(t, bias), calendarFromTimestamp(shifted, 0)) << t << " " << bias;
  }
}

// From 1970 through 2099 the 4-year rule and the Gregorian calendar agree
// (2000 is a leap year in both; 2100 is the first year where they part).
TEST(Calendar, AgreesWithTheCLibraryFrom1970Through2099) {
  constexpr std::uint32_t kYear2100 = 4102444800u;  // 2100-01-01 00:00:00 UTC
  std::mt19937 random(11);
  std::uniform_int_distribution<std::uint32_t> anyTime(0, kYear2100 - 1);
  std::vector<std::uint32_t> times = {0, 68169599, 68169600, 951782399, 951868800, 978307199, kYear2100 - 1};
  for (int round = 0; round < 20000; ++round) {
    times.push_back(anyTime(random));
  }
  for (const std::uint32_t t : times) {
    const std::time_t value = t;
    std::tm utc{};
    ASSERT_NE(::gmtime_r(&value, &utc), nullptr);
    const CalendarTime expected =
        calendar(utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, utc.tm_wday);
    ASSERT_EQ(calendarFromTimestamp(t, 0), expected) << "t = " << t;
  }
}

TEST(Calendar, Leap2100DivergesFromTheGregorianCalendar) {
  // 2100-03-01 00:00:00 UTC; the rule inserts 2100-02-29 before it.
  EXPECT_EQ(calendarFromTimestamp(4107542400u, 0), calendar(2100, 2, 29, 0, 0, 0, 1));
}

TEST(Calendar, PlausibilityLimits) {
  const CalendarTime good = calendar(2009, 12, 31, 23, 59, 59, 4);
  EXPECT_TRUE(isPlausible(good));
  EXPECT_TRUE(isPlausible(calendar(1900, 1, 1, 0, 0, 0, 0)));

  struct Spoiled {
    const char* what;
    void (*spoil)(CalendarTime&);
  };
  const Spoiled spoiled[] = {
      {"year 1899", [](CalendarTime& t) { t.year = 1899; }}, {"month 0", [](CalendarTime& t) { t.month = 0; }},
      {"month 13", [](CalendarTime& t) { t.month = 13; }},   {"day 0", [](CalendarTime& t) { t.day = 0; }},
      {"day 32", [](CalendarTime& t) { t.day = 32; }},       {"hour 24", [](CalendarTime& t) { t.hour = 24; }},
      {"minute 60", [](CalendarTime& t) { t.minute = 60; }}, {"second 60", [](CalendarTime& t) { t.second = 60; }},
  };
  for (const Spoiled& s : spoiled) {
    CalendarTime t = good;
    s.spoil(t);
    EXPECT_FALSE(isPlausible(t)) << s.what;
  }
  // The record a fresh stream source reports before it has read a block.
  EXPECT_FALSE(isPlausible(CalendarTime{2000, 1, 0, 0, 0, 0, 0, 0}));
}

TEST(Calendar, FormatsAsIsoDateAndTime) {
  EXPECT_EQ(formatCalendarTime(calendar(2001, 9, 9, 1, 46, 40, 0)), "2001-09-09 01:46:40");
}

// ---------------------------------------------------------------------------
// Block headers

TEST(BlockHeader, SameBytesReadInBothByteOrders) {
  const std::uint8_t bytes[8] = {0x00, 0x00, 0x00, 0x5A, 0x00, 0x01, 0x00, 0x00};

  const BlockHeader big = parseBlockHeader(bytes, true);
  EXPECT_EQ(big.time, 90u);
  EXPECT_EQ(big.channelMask, 1u);

  const BlockHeader little = parseBlockHeader(bytes, false);
  EXPECT_EQ(little.time, 1509949440u);
  EXPECT_EQ(little.channelMask, 256u);
}

TEST(BlockHeader, EncodesTheDocumentedLittleEndianHeader) {
  const BlockHeaderBytes expected = {0x00, 0xCA, 0x9A, 0x3B, 0x01, 0x00, 0x01, 0x23};
  EXPECT_EQ(encodeBlockHeader(1000000000, 1, 1, false), expected);
}

TEST(BlockHeader, EncodesBigEndianTimeAndMaskOnly) {
  const BlockHeaderBytes header = encodeBlockHeader(90, 1, 5, true);
  EXPECT_EQ((std::array<std::uint8_t, 7>{header[0], header[1], header[2], header[3], header[4], header[5], header[6]}),
            (std::array<std::uint8_t, 7>{0x00, 0x00, 0x00, 0x5A, 0x00, 0x01, 0x05}));
  EXPECT_EQ(header[7], checksum8(header.data(), 7));
}

TEST(BlockHeader, RoundTripsInBothByteOrders) {
  std::mt19937 random(3);
  std::uniform_int_distribution<std::uint32_t> anyTime;
  std::uniform_int_distribution<int> anyMask(0, 0xFFFF);
  std::uniform_int_distribution<int> anyInterval(0, 0x7F);
  for (const bool bigEndian : {false, true}) {
    for (int round = 0; round < 500; ++round) {
      const std::uint32_t time = anyTime(random);
      const auto mask = static_cast<std::uint16_t>(anyMask(random));
      const auto interval = static_cast<std::uint8_t>(anyInterval(random));
      const BlockHeaderBytes bytes = encodeBlockHeader(time, mask, interval, bigEndian);
      const BlockHeader header = parseBlockHeader(bytes.data(), bigEndian);
      ASSERT_TRUE(header.checkValid);
      ASSERT_EQ(header.time, time);
      ASSERT_EQ(header.channelMask, mask);
      ASSERT_EQ(header.frameInterval, interval);
    }
  }
}

TEST(BlockHeader, FrameIntervalKeepsSevenBits) {
  const BlockHeaderBytes written = encodeBlockHeader(1, 1, 0xFF, false);
  EXPECT_EQ(written[6], 0x7F);
  EXPECT_EQ(written[7], checksum8(written.data(), 7));

  // Bit 7 is ignored on reading, but it still counts for the check byte.
  std::uint8_t stored[8] = {0x10, 0x20, 0x30, 0x40, 0x01, 0x00, 0x85, 0x00};
  stored[7] = checksum8(stored, 7);
  const BlockHeader read = parseBlockHeader(stored, false);
  EXPECT_EQ(read.frameInterval, 5);
  EXPECT_TRUE(read.checkValid);

  BlockHeaderBytes prepared = encodeBlockHeader(1000000000, 1, 0, false);
  setHeaderFrameInterval(prepared, 0x81);
  EXPECT_EQ(prepared, encodeBlockHeader(1000000000, 1, 1, false));
}

TEST(BlockHeader, WrongCheckByteIsDetectedButFieldsAreStillRead) {
  BlockHeaderBytes bytes = encodeBlockHeader(1000000000, 3, 2, false);
  bytes[7] ^= 0x01;
  const BlockHeader header = parseBlockHeader(bytes.data(), false);
  EXPECT_FALSE(header.checkValid);
  EXPECT_EQ(header.channelMask, 3);
  EXPECT_EQ(header.frameInterval, 2);
}

// Pictures are paced by these: QK4 and QKN recorders code whole frames,
// the others fields, and the taller pictures come from the slower system.
TEST(FramePeriod, FramesOrFieldsOfEitherSystem) {
  EXPECT_EQ(framePeriodMicroseconds(224, kVariantQk4), 33333);
  EXPECT_EQ(framePeriodMicroseconds(224, kVariantQkn), 33333);
  EXPECT_EQ(framePeriodMicroseconds(224, kVariantQkt2), 16666);
  EXPECT_EQ(framePeriodMicroseconds(272, kVariantQk4), 25000);
  EXPECT_EQ(framePeriodMicroseconds(272, kVariantQkc), 12500);
}

}  // namespace
}  // namespace marlin
