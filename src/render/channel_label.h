#pragma once

#include <string>

#include "base/calendar.h"

namespace marlin {

// "CH<n> " with n = channel + 1, followed by time formatted with strftime
// conversions when time is given and has a year (a year of 0 marks a
// picture that carried no time). The time is already local time.
// time with strftime conversions; empty for a time without a year.
std::string formatPictureTime(const CalendarTime& time, const std::string& timeFormat);

std::string channelLabel(int channel, const CalendarTime* time, const std::string& timeFormat);

}  // namespace marlin
