#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "activity/activity_events.h"

namespace marlin::cli {

// "YYYY-MM-DD hh:mm:ss" of an index's block time.
std::string activityTimeText(std::uint32_t time);

// One JSON line per event, channel 0-based as in the other event lines.
std::string activityEventLine(const activity::ActivityEvent& event);

// The events as an aligned table, channel 1-based as the options take it.
std::string activityTable(const std::vector<activity::ActivityEvent>& events);

// A line per minute and camera in which something happened, one character
// a second: ' ' no picture, '.' quiet, ':' some change below the level
// that counts, '+' active, '#' four times that; quiet minutes between are
// counted, not drawn.
std::string activityBars(const activity::ActivityIndex& index, const activity::EventQuery& query);

}  // namespace marlin::cli
