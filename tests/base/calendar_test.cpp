#include "base/calendar.h"

#include <gtest/gtest.h>

namespace marlin {
namespace {

CalendarTime at(std::uint16_t year, std::uint16_t month, std::uint16_t day, std::uint16_t hour = 0,
                std::uint16_t minute = 0, std::uint16_t second = 0) {
  CalendarTime time;
  time.year = year;
  time.month = month;
  time.day = day;
  time.hour = hour;
  time.minute = minute;
  time.second = second;
  return time;
}

TEST(TimestampFromCalendar, IsTheTimeStampShownAsThatLocalTime) {
  EXPECT_EQ(timestampFromCalendar(at(2010, 1, 1), 0), 1262304000u);
  EXPECT_EQ(timestampFromCalendar(at(2001, 9, 9, 1, 46, 40), 0), 1000000000u);
  // Seconds west of UTC: one hour east shows 2010-01-01 01:00 for the same stamp.
  EXPECT_EQ(timestampFromCalendar(at(2010, 1, 1, 1), -3600), 1262304000u);
  for (const std::int32_t bias : {0, -3600, 18000}) {
    for (std::uint32_t t = 0; t < 0xFFF00000u; t += 7777777) {
      const CalendarTime shown = calendarFromTimestamp(t, bias);
      EXPECT_EQ(timestampFromCalendar(shown, bias), t) << formatCalendarTime(shown) << " bias " << bias;
    }
  }
}

TEST(TimestampFromCalendar, RefusesDaysThatDoNotExistAndTimesOutOfReach) {
  EXPECT_EQ(timestampFromCalendar(at(2012, 2, 29), 0), 1330473600u);
  EXPECT_FALSE(timestampFromCalendar(at(2011, 2, 29), 0));
  EXPECT_FALSE(timestampFromCalendar(at(2010, 4, 31), 0));
  EXPECT_FALSE(timestampFromCalendar(at(2010, 1, 1, 24), 0));
  EXPECT_FALSE(timestampFromCalendar(at(1969, 12, 31, 23, 59, 59), 0));
  EXPECT_FALSE(timestampFromCalendar(at(2106, 12, 31), 0));
}

TEST(ParseCalendarTime, ReadsWhatFormatWritesAndNothingElse) {
  const auto parsed = parseCalendarTime("2010-01-01 12:00:05");
  ASSERT_TRUE(parsed);
  EXPECT_EQ(*parsed, at(2010, 1, 1, 12, 0, 5));
  const CalendarTime shown = calendarFromTimestamp(1000000000, -7200);
  const auto back = parseCalendarTime(formatCalendarTime(shown));
  ASSERT_TRUE(back);
  EXPECT_EQ(timestampFromCalendar(*back, -7200), 1000000000u);
  for (const char* text :
       {"2010-01-01 12:00", "2010-01-01T12:00:05", "2010-1-01 12:00:05", " 2010-01-01 12:00:0", "2010-13-01 12:00:05",
        "2010-01-01 12:60:05", "2010-01-00 12:00:05", "2010-01-01 12:0x:05"}) {
    EXPECT_FALSE(parseCalendarTime(text)) << text;
  }
}

}  // namespace
}  // namespace marlin
