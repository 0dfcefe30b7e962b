#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

#include "engine/player_engine.h"

namespace marlin::cli {

// Saves what the engine shows after every N pictures, as numbered bitmaps in
// a folder; the first failure is reported on stderr, the rest counted.
class SnapshotSeries {
 public:
  SnapshotSeries(PlayerEngine& engine, std::optional<int> every, std::string folder);

  // Called for each picture shown, on the engine's worker thread.
  void pictureShown(std::uint64_t shown);

  std::uint64_t saved() const { return saved_; }
  std::uint64_t failed() const { return failed_; }

 private:
  PlayerEngine& engine_;
  std::optional<int> every_;
  std::string folder_;
  std::atomic<std::uint64_t> saved_{0};
  std::atomic<std::uint64_t> failed_{0};
};

// Creates the folder for snapshots, if one is given.
void createSnapshotFolder(const std::string& folder);

}  // namespace marlin::cli
