// What an evidence manifest says of a disk: its model and serial number as
// the kernel shows them, for the whole disk and for one of its partitions,
// with a stand-in for /sys/dev/block.
#include "platform/block_devices.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <filesystem>
#include <fstream>

#include "support/temp_dir.h"

namespace marlin {
namespace {

namespace fs = std::filesystem;

TEST(DescribeDisk, ModelAndSerialOfTheDiskOrThePartitionsDisk) {
  testing::TempDir dir;
  const fs::path disk = fs::path(dir.path()) / "devices" / "sdb";
  fs::create_directories(disk / "device");
  fs::create_directories(disk / "sdb1");
  // sysfs pads the model with spaces; a SATA disk gives its serial as a world-wide id.
  std::ofstream(disk / "device" / "model") << "WDC WD10PURZ-85U    \n";
  std::ofstream(disk / "device" / "wwid") << "t10.ATA     WDC WD10PURZ-85U8XY0     WD-WCC4J1234567\n";
  const fs::path sysDevBlock = fs::path(dir.path()) / "sys-dev-block";
  fs::create_directories(sysDevBlock);
  fs::create_directory_symlink(disk, sysDevBlock / "8:16");
  fs::create_directory_symlink(disk / "sdb1", sysDevBlock / "8:17");

  for (const unsigned minorNumber : {16u, 17u}) {
    SCOPED_TRACE(minorNumber);
    struct stat node {};
    node.st_rdev = makedev(8, minorNumber);
    const DiskDescription seen = describeDisk(node, sysDevBlock.string());
    EXPECT_EQ(seen.model, "WDC WD10PURZ-85U");
    EXPECT_EQ(seen.serial, "t10.ATA     WDC WD10PURZ-85U8XY0     WD-WCC4J1234567");
  }
  struct stat unknown {};
  unknown.st_rdev = makedev(9, 0);
  const DiskDescription nothing = describeDisk(unknown, sysDevBlock.string());
  EXPECT_TRUE(nothing.model.empty() && nothing.serial.empty());
}

}  // namespace
}  // namespace marlin
