#pragma once

#include <optional>
#include <string>
#include <vector>

namespace marlin {

// A whole-disk block device as the kernel lists it under /sys/block.
struct BlockDeviceEntry {
  std::string name;               // "sda", "nvme0n1"
  std::optional<bool> removable;  // the kernel's removable flag, when readable
};

// Whole disks backed by a hardware device (loop, ram, zram, device-mapper and
// md devices have no "device" link and are left out), sorted by name.
std::vector<BlockDeviceEntry> listWholeDisks(const std::string& sysBlockDir = "/sys/block");

}  // namespace marlin
