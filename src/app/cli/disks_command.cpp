#include <iostream>

#include "app/cli/commands.h"
#include "source/drive_list.h"

namespace marlin::cli {

void addDisksCommand(CLI::App& app) {
  CLI::App* command = app.add_subcommand("disks", "List the disks a DVR disk can be read from");
  command->callback([] {
    const DriveList drives = listDrives();
    for (const DriveEntry& entry : drives.entries) {
      std::cout << entry.listText << "  " << entry.devicePath << "\n";
    }
    for (const SkippedDrive& skipped : drives.skipped) {
      std::cerr << "marlin: not listed: " << skipped.reason.message() << "\n";
    }
    if (drives.entries.empty() && drives.skipped.empty()) {
      std::cerr << "marlin: no disks found\n";
    }
  });
}

}  // namespace marlin::cli
