#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "activity/activity_index.h"
#include "base/status.h"
#include "recognition/recognition.h"

namespace marlin::activity {

// A camera's first refresh picture in a range: its changes are measured
// against the previous refresh picture, which an earlier range read.
struct PendingRefresh {
  std::size_t second = 0;  // index into the part's seconds
  LumaMeans means;
};

// One camera's activity in one byte range of the recording.
struct ChannelPart {
  int columns = 0;
  int rows = 0;
  bool sawConditional = false;
  std::vector<SecondActivity> seconds;
  // Activity measured from refresh pictures' means, by the same index as
  // seconds until the camera shows a conditional picture; used only for
  // cameras without any.
  std::vector<PictureActivity> fromMeans;
  std::vector<std::uint64_t> refreshPositions;
  std::optional<PendingRefresh> firstRefresh;
  LumaMeans lastRefreshMeans;
};

struct RangePart {
  std::array<ChannelPart, kChannels> channels;
  std::uint64_t pictures = 0;
  std::uint64_t lastPictureStart = 0;
  Status failure;
};

// Reads the pictures whose start codes begin in [start, end) of the
// recording and notes what changed in them. bytesDone grows as the range is
// read; stop ends the reading early (the part is then incomplete).
RangePart scanRange(const std::string& path, const RecordingReading& reading, std::uint64_t start, std::uint64_t end,
                    std::atomic<std::uint64_t>& bytesDone, const std::atomic<bool>& stop);

}  // namespace marlin::activity
