#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "activity/activity_index.h"
#include "base/status.h"
#include "recognition/recognition.h"

namespace marlin::activity {

struct BuildOptions {
  unsigned threads = 0;  // 0: one per core
  // The recording is read in ranges of this many bytes, each on a worker;
  // the index does not depend on where they fall.
  std::uint64_t rangeBytes = 32ull << 20;
  // Called on the calling thread now and then, and once at the end.
  std::function<void(std::uint64_t done, std::uint64_t total)> progress;
  const std::atomic<bool>* stop = nullptr;
};

// Reads the recording at path as reading says, on a pool of workers, and
// indexes what changed per camera and second. With `earlier` (an index of
// the same recording when it was shorter), only what was added since is
// read. Fails when the recording cannot be opened or read, and when stopped.
Status buildActivityIndex(const std::string& path, const RecordingReading& reading, const BuildOptions& options,
                          ActivityIndex& index, const ActivityIndex* earlier = nullptr);

}  // namespace marlin::activity
