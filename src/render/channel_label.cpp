#include "render/channel_label.h"

#include <array>
#include <ctime>

namespace marlin {

namespace {

bool isLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

// Day of the year from 0, for the %j and %U style conversions.
int dayOfYear(const CalendarTime& time) {
  static constexpr std::array<int, 12> kDaysBefore{0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
  if (time.month < 1 || time.month > 12) {
    return 0;
  }
  const int leapDay = time.month > 2 && isLeapYear(time.year) ? 1 : 0;
  return kDaysBefore[time.month - 1] + leapDay + time.day - 1;
}

}  // namespace

std::string formatPictureTime(const CalendarTime& time, const std::string& timeFormat) {
  if (time.year == 0 || timeFormat.empty()) {
    return {};
  }
  std::tm fields{};
  fields.tm_year = time.year - 1900;
  fields.tm_mon = time.month - 1;
  fields.tm_mday = time.day;
  fields.tm_hour = time.hour;
  fields.tm_min = time.minute;
  fields.tm_sec = time.second;
  fields.tm_wday = time.dayOfWeek;
  fields.tm_yday = dayOfYear(time);
  fields.tm_isdst = -1;
  std::array<char, 256> text{};
  const std::size_t length = std::strftime(text.data(), text.size(), timeFormat.c_str(), &fields);
  return std::string(text.data(), length);
}

std::string channelLabel(int channel, const CalendarTime* time, const std::string& timeFormat) {
  const std::string label = "CH" + std::to_string(channel + 1) + " ";
  return time == nullptr ? label : label + formatPictureTime(*time, timeFormat);
}

}  // namespace marlin
