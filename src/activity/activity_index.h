#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <vector>

#include "activity/change_map.h"

namespace marlin::activity {

inline constexpr int kChannels = 16;
inline constexpr std::uint64_t kNoPosition = std::numeric_limits<std::uint64_t>::max();

// One camera's activity in one second of block time.
struct SecondActivity {
  // The block time as the recorder's clock shows it, in seconds since 1970
  // counted as if that clock were UTC (calendarFromTimestamp(time, 0) gives
  // back the time the recorder wrote).
  std::uint32_t time = 0;
  std::uint16_t level = 0;  // at the busiest picture of the second (PictureActivity::level)
  std::uint16_t pictures = 0;
  CellMask cells;                               // every cell that changed in the second
  std::uint64_t firstPosition = kNoPosition;    // where the second's first picture begins
  std::uint64_t refreshPosition = kNoPosition;  // the camera's last refresh picture at or before it

  friend bool operator==(const SecondActivity&, const SecondActivity&) = default;
};

struct ChannelActivity {
  int columns = 0;  // the camera's picture in macroblocks; 0 when it has none
  int rows = 0;
  bool conditional = false;             // changes come from conditional pictures, else from refresh means
  std::vector<SecondActivity> seconds;  // in the order of the recording
  // The last refresh picture (the one the pictures after the index start
  // from) and, without conditional pictures, its means, which the next one
  // is compared with when the recording grows.
  std::uint64_t lastRefreshPosition = kNoPosition;
  LumaMeans lastRefreshMeans;

  friend bool operator==(const ChannelActivity&, const ChannelActivity&) = default;
};

// The activity of a whole recording (or of its first indexedBytes).
struct ActivityIndex {
  std::array<ChannelActivity, kChannels> channels;
  std::uint64_t indexedBytes = 0;  // the recording's size when indexed
  std::uint64_t pictures = 0;
  // Where the last picture indexed begins: growth is read from after it.
  std::uint64_t lastPictureStart = 0;

  friend bool operator==(const ActivityIndex&, const ActivityIndex&) = default;
};

}  // namespace marlin::activity
