#pragma once

#include <sys/stat.h>

#include <optional>
#include <string>
#include <vector>

namespace marlin {

// A whole-disk block device as the kernel lists it under /sys/block.
struct BlockDeviceEntry {
  std::string name;               // "sda", "nvme0n1"
  std::optional<bool> removable;  // the kernel's removable flag, when readable
};

// What the kernel tells of the disk a device node (a whole disk or one of
// its partitions) lies on; empty where it does not say.
struct DiskDescription {
  std::string model;
  std::string serial;  // the serial number, or the world-wide id where there is none
};

// info: a device node's stat.
DiskDescription describeDisk(const struct stat& info, const std::string& sysDevBlock = "/sys/dev/block");

// Whole disks backed by a hardware device (loop, ram, zram, device-mapper and
// md devices have no "device" link and are left out), sorted by name.
std::vector<BlockDeviceEntry> listWholeDisks(const std::string& sysBlockDir = "/sys/block");

}  // namespace marlin
