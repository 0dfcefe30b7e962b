#include "platform/block_devices.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "base/log.h"

namespace marlin {

namespace {

std::optional<bool> readRemovableFlag(const std::filesystem::path& deviceDir) {
  std::ifstream in(deviceDir / "removable");
  int flag = -1;
  if (!(in >> flag) || (flag != 0 && flag != 1)) {
    return std::nullopt;
  }
  return flag == 1;
}

}  // namespace

std::vector<BlockDeviceEntry> listWholeDisks(const std::string& sysBlockDir) {
  namespace fs = std::filesystem;
  std::vector<BlockDeviceEntry> disks;
  std::error_code error;
  for (fs::directory_iterator it(sysBlockDir, error), end; !error && it != end; it.increment(error)) {
    const fs::path dir = it->path();
    if (!fs::exists(dir / "device", error)) {
      continue;
    }
    disks.push_back({dir.filename().string(), readRemovableFlag(dir)});
  }
  if (error) {
    logWarning("cannot list the disks in " + sysBlockDir + ": " + error.message());
  }
  std::sort(disks.begin(), disks.end(),
            [](const BlockDeviceEntry& a, const BlockDeviceEntry& b) { return a.name < b.name; });
  return disks;
}

}  // namespace marlin
