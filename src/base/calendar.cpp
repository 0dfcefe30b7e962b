#include "base/calendar.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace marlin {

namespace {

constexpr std::uint32_t kSecondsPerDay = 86400;
constexpr std::uint32_t kSecondsPerCycle = 126230400;
constexpr std::array<std::uint32_t, 4> kYearSeconds = {31536000, 31536000, 31622400, 31536000};
constexpr std::array<int, 13> kCommonYearDays = {-1, 30, 58, 89, 119, 150, 180, 211, 242, 272, 303, 333, 364};
constexpr std::array<int, 13> kLeapYearDays = {-1, 30, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334, 365};
constexpr unsigned kLeapYearOfCycle = 2;

}  // namespace

CalendarTime calendarFromTimestamp(std::uint32_t t, std::int32_t biasSeconds) {
  const std::uint32_t u = t - static_cast<std::uint32_t>(biasSeconds);
  CalendarTime out;
  out.dayOfWeek = static_cast<std::uint16_t>((u / kSecondsPerDay + 4) % 7);

  std::uint32_t r = u % kSecondsPerCycle;
  unsigned k = 0;
  while (k < 3 && r >= kYearSeconds[k]) {
    r -= kYearSeconds[k];
    ++k;
  }
  out.year = static_cast<std::uint16_t>(1970 + 4 * (u / kSecondsPerCycle) + k);

  const int dayOfYear = static_cast<int>(r / kSecondsPerDay);
  const auto& table = (k == kLeapYearOfCycle) ? kLeapYearDays : kCommonYearDays;
  int month = 1;
  while (month < 12 && table[month] < dayOfYear) {
    ++month;
  }
  out.month = static_cast<std::uint16_t>(month);
  out.day = static_cast<std::uint16_t>(dayOfYear - table[month - 1]);

  const std::uint32_t secondOfDay = r % kSecondsPerDay;
  out.hour = static_cast<std::uint16_t>(secondOfDay / 3600);
  out.minute = static_cast<std::uint16_t>(secondOfDay / 60 % 60);
  out.second = static_cast<std::uint16_t>(secondOfDay % 60);
  out.milliseconds = 0;
  return out;
}

std::optional<std::uint32_t> timestampFromCalendar(const CalendarTime& time, std::int32_t biasSeconds) {
  if (time.year < 1970 || !isPlausible(time)) {
    return std::nullopt;
  }
  const unsigned years = time.year - 1970u;
  const unsigned yearOfCycle = years % 4;
  std::uint64_t u = std::uint64_t{years / 4} * kSecondsPerCycle;
  for (unsigned k = 0; k < yearOfCycle; ++k) {
    u += kYearSeconds[k];
  }
  const auto& table = (yearOfCycle == kLeapYearOfCycle) ? kLeapYearDays : kCommonYearDays;
  const auto dayOfYear = static_cast<std::uint64_t>(table[time.month - 1] + time.day);
  u += dayOfYear * kSecondsPerDay + time.hour * 3600u + time.minute * 60u + time.second;
  if (u > UINT32_MAX) {
    return std::nullopt;
  }
  const std::uint32_t t = static_cast<std::uint32_t>(u) + static_cast<std::uint32_t>(biasSeconds);
  // A day past the end of its month counts on into the next one; such a date is not one the user meant.
  const CalendarTime back = calendarFromTimestamp(t, biasSeconds);
  if (back.year != time.year || back.month != time.month || back.day != time.day) {
    return std::nullopt;
  }
  return t;
}

bool isPlausible(const CalendarTime& time) {
  return time.year >= 1900 && time.month >= 1 && time.month <= 12 && time.day >= 1 && time.day <= 31 &&
         time.hour <= 23 && time.minute <= 59 && time.second <= 59;
}

std::string formatCalendarTime(const CalendarTime& time) {
  char text[64];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", time.year, time.month, time.day, time.hour,
                time.minute, time.second);
  return text;
}

std::optional<CalendarTime> parseCalendarTime(std::string_view text) {
  constexpr std::string_view kPattern = "dddd-dd-dd dd:dd:dd";
  if (text.size() != kPattern.size()) {
    return std::nullopt;
  }
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool digit = text[i] >= '0' && text[i] <= '9';
    if (kPattern[i] == 'd' ? !digit : text[i] != kPattern[i]) {
      return std::nullopt;
    }
  }
  const auto number = [&](std::size_t from, std::size_t digits) {
    std::uint16_t value = 0;
    for (std::size_t i = from; i < from + digits; ++i) {
      value = static_cast<std::uint16_t>(value * 10 + (text[i] - '0'));
    }
    return value;
  };
  CalendarTime time;
  time.year = number(0, 4);
  time.month = number(5, 2);
  time.day = number(8, 2);
  time.hour = number(11, 2);
  time.minute = number(14, 2);
  time.second = number(17, 2);
  if (!isPlausible(time)) {
    return std::nullopt;
  }
  return time;
}

namespace {

constexpr std::uint16_t CalendarTime::*kRecordFields[8] = {
    &CalendarTime::year, &CalendarTime::month,  &CalendarTime::dayOfWeek, &CalendarTime::day,
    &CalendarTime::hour, &CalendarTime::minute, &CalendarTime::second,    &CalendarTime::milliseconds};

}  // namespace

void writeCalendarRecord(const CalendarTime& time, std::uint8_t* out16) {
  for (std::uint16_t CalendarTime::*field : kRecordFields) {
    const std::uint16_t value = time.*field;
    *out16++ = static_cast<std::uint8_t>(value & 0xFF);
    *out16++ = static_cast<std::uint8_t>(value >> 8);
  }
}

CalendarTime readCalendarRecord(const std::uint8_t* in16) {
  CalendarTime time;
  for (std::uint16_t CalendarTime::*field : kRecordFields) {
    time.*field = static_cast<std::uint16_t>(in16[0] | (in16[1] << 8));
    in16 += 2;
  }
  return time;
}

}  // namespace marlin
