#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "activity/activity_index.h"

namespace marlin::activity {

// A rectangle of a camera's picture, in its pixels (640 x 224 or 640 x 272;
// 320 wide for half of a dual picture).
struct Region {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

struct EventQuery {
  std::uint16_t channels = 0xFFFF;  // bit c: camera c (0-based)
  std::optional<Region> region;     // only the cells overlapping it count
  // Seconds whose first picture lies in [fromPosition, toPosition) and whose
  // block time lies in [fromTime, toTime].
  std::uint64_t fromPosition = 0;
  std::uint64_t toPosition = kNoPosition;
  std::uint32_t fromTime = 0;
  std::uint32_t toTime = 0xFFFFFFFF;
  int sensitivity = 5;          // 1 (only large changes) to 10 (the smallest)
  std::uint32_t minLength = 1;  // seconds an event lasts at least
  std::uint32_t mergeGap = 2;   // quiet seconds that still join two stretches into one event
};

// A stretch of time in which one camera saw activity.
struct ActivityEvent {
  int channel = 0;
  std::uint32_t start = 0;  // block times, as SecondActivity::time
  std::uint32_t end = 0;    // the second after the last active one
  double peak = 0.0;        // the busiest second's level, 0..1
  std::uint32_t peakTime = 0;
  std::uint64_t position = 0;         // where the event's first picture begins
  std::uint64_t refreshPosition = 0;  // the camera's refresh picture to decode it from (kNoPosition: none)

  friend bool operator==(const ActivityEvent&, const ActivityEvent&) = default;
};

// The share of changed macroblocks (or, in a region, of changed cells) from
// which a second counts as active.
double activeLevel(int sensitivity);

// The cells of a camera's picture that a region overlaps; worked out once
// for the camera, not per second.
struct RegionCells {
  CellMask cells;
  std::size_t count = 0;
};
std::optional<RegionCells> regionCells(const std::optional<Region>& region, const ChannelActivity& channel);

// A second's activity, 0..1: its level, or in a region the share of the
// region's cells that changed.
double secondLevel(const SecondActivity& second, const std::optional<RegionCells>& region);

// The events the query asks for, by start time, then camera.
std::vector<ActivityEvent> findEvents(const ActivityIndex& index, const EventQuery& query);
// The same into out, whose memory is used again: a viewer asks again at
// every change of region or cameras, and a day of sixteen cameras can hold
// tens of thousands of events.
void findEvents(const ActivityIndex& index, const EventQuery& query, std::vector<ActivityEvent>& out);

}  // namespace marlin::activity
