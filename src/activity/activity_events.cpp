#include "activity/activity_events.h"

#include <algorithm>
#include <cmath>
#include <tuple>

namespace marlin::activity {

namespace {

CellMask overlappedCells(const Region& region, const ChannelActivity& channel) {
  CellMask cells;
  constexpr int kCellPixels = 16 * kCellMacroblocks;
  const int cellColumns = (channel.columns + kCellMacroblocks - 1) / kCellMacroblocks;
  const int cellRows = (channel.rows + kCellMacroblocks - 1) / kCellMacroblocks;
  const int firstColumn = std::max(0, region.x / kCellPixels);
  const int firstRow = std::max(0, region.y / kCellPixels);
  const int lastColumn = std::min(cellColumns - 1, (region.x + region.width - 1) / kCellPixels);
  const int lastRow = std::min(cellRows - 1, (region.y + region.height - 1) / kCellPixels);
  for (int row = firstRow; row <= lastRow; ++row) {
    for (int column = firstColumn; column <= lastColumn; ++column) {
      cells.set(static_cast<std::size_t>(row * kMaxCellColumns + column));
    }
  }
  return cells;
}

bool inQuery(const SecondActivity& second, const EventQuery& query) {
  return second.firstPosition >= query.fromPosition && second.firstPosition < query.toPosition &&
         second.time >= query.fromTime && second.time <= query.toTime;
}

}  // namespace

double activeLevel(int sensitivity) {
  // 4% of the picture at 1, each step down to 0.16% at 10: a box of 3 x 3
  // macroblocks moving changes about 3% of a 640 x 224 picture.
  const int clamped = std::clamp(sensitivity, 1, 10);
  return 0.04 * std::pow(0.7, clamped - 1);
}

std::optional<RegionCells> regionCells(const std::optional<Region>& region, const ChannelActivity& channel) {
  if (!region) {
    return std::nullopt;
  }
  RegionCells inside;
  inside.cells = overlappedCells(*region, channel);
  inside.count = inside.cells.count();
  return inside;
}

double secondLevel(const SecondActivity& second, const std::optional<RegionCells>& region) {
  if (!region) {
    return second.level / 65535.0;
  }
  const CellMask changed = second.cells & region->cells;
  // Most seconds change nothing in the region: counting bits is only for
  // the rest.
  return region->count == 0 || changed.none()
             ? 0.0
             : static_cast<double>(changed.count()) / static_cast<double>(region->count);
}

std::vector<ActivityEvent> findEvents(const ActivityIndex& index, const EventQuery& query) {
  std::vector<ActivityEvent> events;
  findEvents(index, query, events);
  return events;
}

void findEvents(const ActivityIndex& index, const EventQuery& query, std::vector<ActivityEvent>& events) {
  events.clear();
  const double threshold = activeLevel(query.sensitivity);
  for (int c = 0; c < kChannels; ++c) {
    if (((query.channels >> c) & 1) == 0) {
      continue;
    }
    const ChannelActivity& channel = index.channels[c];
    const std::optional<RegionCells> region = regionCells(query.region, channel);
    std::optional<ActivityEvent> open;
    std::uint32_t lastActive = 0;
    const auto close = [&] {
      if (open && open->end - open->start >= query.minLength) {
        events.push_back(*open);
      }
      open.reset();
    };
    for (const SecondActivity& second : channel.seconds) {
      if (!inQuery(second, query) || second.level == 0) {
        continue;
      }
      const double level = secondLevel(second, region);
      if (level < threshold) {
        continue;
      }
      // A clock set back, or a quiet stretch longer than the gap, begins a
      // new event.
      if (open && (second.time < lastActive || second.time - lastActive > query.mergeGap + 1)) {
        close();
      }
      if (!open) {
        open = ActivityEvent{c,           second.time,          second.time + 1,       level,
                             second.time, second.firstPosition, second.refreshPosition};
      }
      open->end = second.time + 1;
      if (level > open->peak) {
        open->peak = level;
        open->peakTime = second.time;
      }
      lastActive = second.time;
    }
    close();
  }
  // Ordered in place: a day of sixteen cameras has tens of thousands.
  std::sort(events.begin(), events.end(), [](const ActivityEvent& a, const ActivityEvent& b) {
    return std::tie(a.start, a.channel, a.position) < std::tie(b.start, b.channel, b.position);
  });
}

}  // namespace marlin::activity
