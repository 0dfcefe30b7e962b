#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace marlin {

// Calendar time with the field order and widths of a Windows SYSTEMTIME,
// which the rest of the program passes around as the time of a block,
// a live frame or a shown picture.
struct CalendarTime {
  std::uint16_t year = 0;
  std::uint16_t month = 0;
  std::uint16_t dayOfWeek = 0;  // 0 = Sunday
  std::uint16_t day = 0;
  std::uint16_t hour = 0;
  std::uint16_t minute = 0;
  std::uint16_t second = 0;
  std::uint16_t milliseconds = 0;

  friend bool operator==(const CalendarTime&, const CalendarTime&) = default;
};
static_assert(sizeof(CalendarTime) == 16);

// Local standard time of a block time stamp: (t - biasSeconds) mod 2^32,
// split in 4-year cycles of which the third year is the leap year.
// The record as eight little-endian 16-bit fields in the order above, as
// frame headers carry it.
void writeCalendarRecord(const CalendarTime& time, std::uint8_t* out16);
CalendarTime readCalendarRecord(const std::uint8_t* in16);

CalendarTime calendarFromTimestamp(std::uint32_t t, std::int32_t biasSeconds);

// The time stamp whose local standard time is time (dayOfWeek and milliseconds ignored): what a date and time the
// user types is compared with block times as. Nothing for a day that does not exist (30 February) or a time that
// calendarFromTimestamp cannot give (local years 1970 to 2106).
std::optional<std::uint32_t> timestampFromCalendar(const CalendarTime& time, std::int32_t biasSeconds);

// A record that could be a real time of day (year >= 1900, fields in range).
bool isPlausible(const CalendarTime& time);

// "YYYY-MM-DD HH:MM:SS".
std::string formatCalendarTime(const CalendarTime& time);

// Reads back what formatCalendarTime writes, digits and separators exactly so; nothing for other text or fields out
// of range. dayOfWeek and milliseconds are 0.
std::optional<CalendarTime> parseCalendarTime(std::string_view text);

}  // namespace marlin
