#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/status.h"

namespace marlin {

// A DVR disk candidate as offered for "Open Disk".
struct DriveEntry {
  int number = 0;          // 0-9, position among the machine's whole disks
  std::string devicePath;  // e.g. "/dev/sdb"
  std::string mediaName;   // "Removable", "Fixed" or "Unknown"
  std::uint64_t capacity = 0;
  std::string listText;  // "DISK%d  %-10s %10lld MB"
};

// A whole disk that could not be listed, and why.
struct SkippedDrive {
  std::string devicePath;
  Status reason;  // as describeOpenFailure tells it
};

struct DriveList {
  std::vector<DriveEntry> entries;
  std::vector<SkippedDrive> skipped;
};

inline constexpr int kMaxDrives = 10;

std::string formatDriveListText(int number, const std::string& mediaName, std::uint64_t capacity);

// The first ten whole disks under sysBlockDir, numbered in name order; a disk
// whose device node under devDir cannot be opened or sized is left out of the
// entries (its number stays unused) and reported in skipped.
DriveList listDrives(const std::string& sysBlockDir = "/sys/block", const std::string& devDir = "/dev");

}  // namespace marlin
