#include "source/drive_list.h"

#include <cinttypes>
#include <cstdio>

#include "platform/block_devices.h"
#include "platform/block_file.h"
#include "source/stream_source.h"

namespace marlin {

std::string formatDriveListText(int number, const std::string& mediaName, std::uint64_t capacity) {
  char text[96];
  std::snprintf(text, sizeof text, "DISK%d  %-10s %10" PRId64 " MB", number, mediaName.c_str(),
                static_cast<std::int64_t>(capacity >> 20));
  return text;
}

DriveList listDrives(const std::string& sysBlockDir, const std::string& devDir) {
  DriveList list;
  const std::vector<BlockDeviceEntry> disks = listWholeDisks(sysBlockDir);
  for (std::size_t n = 0; n < disks.size() && n < kMaxDrives; ++n) {
    const BlockDeviceEntry& disk = disks[n];
    const std::string path = devDir + "/" + disk.name;
    std::uint64_t capacity = 0;
    if (const Status sized = querySizeOfPath(path, capacity); !sized) {
      list.skipped.push_back({path, openFailure(path, sized.code(), sized.systemError())});
      continue;
    }
    DriveEntry entry;
    entry.number = static_cast<int>(n);
    entry.devicePath = path;
    entry.mediaName = !disk.removable ? "Unknown" : (*disk.removable ? "Removable" : "Fixed");
    entry.capacity = capacity;
    entry.listText = formatDriveListText(entry.number, entry.mediaName, capacity);
    list.entries.push_back(std::move(entry));
  }
  return list;
}

}  // namespace marlin
