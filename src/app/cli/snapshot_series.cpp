#include "app/cli/snapshot_series.h"

#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <iostream>

#include "app/cli/cli_support.h"

namespace marlin::cli {

SnapshotSeries::SnapshotSeries(PlayerEngine& engine, std::optional<int> every, std::string folder)
    : engine_(engine), every_(every), folder_(std::move(folder)) {}

void SnapshotSeries::pictureShown(std::uint64_t shown) {
  if (!every_ || shown % static_cast<std::uint64_t>(*every_) != 0) {
    return;
  }
  char name[40];
  std::snprintf(name, sizeof name, "snapshot-%06" PRIu64 ".bmp", shown);
  const std::string path = (std::filesystem::path(folder_) / name).string();
  if (const Status written = engine_.saveSnapshot(path)) {
    ++saved_;
  } else if (failed_++ == 0) {
    std::cerr << "marlin: cannot write " << path << ": " << written.message() << "\n";
  }
}

void createSnapshotFolder(const std::string& folder) {
  if (folder.empty()) {
    return;
  }
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) {
    throw CommandError("cannot create " + folder + ": " + error.message());
  }
}

}  // namespace marlin::cli
