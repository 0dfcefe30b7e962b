#include "platform/block_devices.h"

#include <sys/sysmacros.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <initializer_list>

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

// The first line of the first of the files (relative to the device's folder) that has one.
std::string firstLineOf(const std::string& device, std::initializer_list<const char*> files) {
  for (const char* file : files) {
    std::ifstream in(device + file);
    std::string line;
    if (in && std::getline(in, line)) {
      // sysfs pads some fields with spaces.
      line.erase(line.find_last_not_of(' ') + 1);
      if (!line.empty()) return line;
    }
  }
  return {};
}

}  // namespace

DiskDescription describeDisk(const struct stat& info, const std::string& sysDevBlock) {
  // A partition's folder lies inside its disk's.
  const std::string device =
      sysDevBlock + "/" + std::to_string(major(info.st_rdev)) + ":" + std::to_string(minor(info.st_rdev));
  return {firstLineOf(device, {"/device/model", "/../device/model"}),
          firstLineOf(device, {"/device/serial", "/../device/serial", "/device/wwid", "/../device/wwid"})};
}

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
