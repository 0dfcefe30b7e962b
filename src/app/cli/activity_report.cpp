#include "app/cli/activity_report.h"

#include <cinttypes>
#include <cstdio>
#include <map>

#include "base/calendar.h"
#include "engine/json_text.h"

namespace marlin::cli {

namespace {

std::string format(const char* pattern, auto... values) {
  char line[256];
  std::snprintf(line, sizeof line, pattern, values...);
  return line;
}

char secondMark(double level, double threshold) {
  if (level <= 0.0) {
    return '.';
  }
  if (level < threshold) {
    return ':';
  }
  return level < 4 * threshold ? '+' : '#';
}

}  // namespace

std::string activityTimeText(std::uint32_t time) { return formatCalendarTime(calendarFromTimestamp(time, 0)); }

std::string activityEventLine(const activity::ActivityEvent& event) {
  return format(
      "{\"event\":\"activity\",\"channel\":%d,\"start\":%s,\"end\":%s,\"peak\":%.4f,\"peak_time\":%s,"
      "\"position\":%" PRIu64 "}",
      event.channel, jsonString(activityTimeText(event.start)).c_str(), jsonString(activityTimeText(event.end)).c_str(),
      event.peak, jsonString(activityTimeText(event.peakTime)).c_str(), event.position);
}

std::string activityTable(const std::vector<activity::ActivityEvent>& events) {
  std::string table =
      "channel  start                end                    length    peak  peak time                 position\n";
  for (const activity::ActivityEvent& event : events) {
    table += format("%7d  %s  %s  %7" PRIu32 "s  %5.1f%%  %s  %15" PRIu64 "\n", event.channel + 1,
                    activityTimeText(event.start).c_str(), activityTimeText(event.end).c_str(), event.end - event.start,
                    100.0 * event.peak, activityTimeText(event.peakTime).c_str(), event.position);
  }
  return table;
}

std::string activityBars(const activity::ActivityIndex& index, const activity::EventQuery& query) {
  const double threshold = activity::activeLevel(query.sensitivity);
  std::string bars;
  for (int c = 0; c < activity::kChannels; ++c) {
    const activity::ChannelActivity& channel = index.channels[c];
    if (((query.channels >> c) & 1) == 0 || channel.seconds.empty()) {
      continue;
    }
    const std::optional<activity::RegionCells> region = activity::regionCells(query.region, channel);
    // Minute -> its 60 seconds' marks, and whether one of them is active.
    std::map<std::uint32_t, std::pair<std::string, bool>> minutes;
    for (const activity::SecondActivity& second : channel.seconds) {
      if (second.firstPosition < query.fromPosition || second.firstPosition >= query.toPosition) {
        continue;
      }
      auto& [marks, active] = minutes.try_emplace(second.time / 60, std::string(60, ' '), false).first->second;
      const double level = activity::secondLevel(second, region);
      char& mark = marks[second.time % 60];
      const char now = secondMark(second.level == 0 ? 0.0 : level, threshold);
      mark = mark == ' ' ? now : std::max(mark, now, [](char a, char b) {
        return std::string_view(".:+#").find(a) < std::string_view(".:+#").find(b);
      });
      active = active || level >= threshold;
    }
    std::uint64_t quiet = 0;
    for (const auto& [minute, line] : minutes) {
      if (!line.second) {
        ++quiet;
        continue;
      }
      if (quiet != 0) {
        bars += format("CH%-2d %" PRIu64 " quiet minute%s\n", c + 1, quiet, quiet == 1 ? "" : "s");
        quiet = 0;
      }
      bars +=
          format("CH%-2d %s |%s|\n", c + 1, activityTimeText(minute * 60).substr(0, 16).c_str(), line.first.c_str());
    }
    if (quiet != 0) {
      bars += format("CH%-2d %" PRIu64 " quiet minute%s\n", c + 1, quiet, quiet == 1 ? "" : "s");
    }
  }
  return bars;
}

}  // namespace marlin::cli
