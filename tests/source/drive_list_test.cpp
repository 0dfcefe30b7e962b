// Listing the disks a DVR disk can be read from, against a fake /sys/block
// and /dev built in a temporary directory.
#include "source/drive_list.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>

#include "source/stream_source.h"
#include "support/temp_dir.h"

namespace marlin {
namespace {

namespace fs = std::filesystem;

class FakeMachine {
 public:
  FakeMachine() {
    fs::create_directories(sysBlock());
    fs::create_directories(dev());
    fs::create_directories(dir_.path() / "devices" / "pci0");
  }

  std::string sysBlock() const { return dir_.file("sys/block"); }
  std::string dev() const { return dir_.file("dev"); }

  enum class Link { Directory, Symlink, None };

  // A /sys/block entry; removable is the content of its "removable" file.
  void addDisk(const std::string& name, std::optional<int> removable, Link link = Link::Directory) {
    const fs::path entry = fs::path(sysBlock()) / name;
    fs::create_directories(entry);
    if (link == Link::Directory) {
      fs::create_directory(entry / "device");
    } else if (link == Link::Symlink) {
      fs::create_directory_symlink(dir_.path() / "devices" / "pci0", entry / "device");
    }
    if (removable) {
      std::ofstream(entry / "removable") << *removable << "\n";
    }
  }

  // A device node stand-in: a sparse regular file of the given size.
  void addNode(const std::string& name, std::uint64_t size) {
    const std::string path = dev() + "/" + name;
    std::ofstream(path).close();
    ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(size)), 0) << path;
  }

  DriveList list() const { return listDrives(sysBlock(), dev()); }

 private:
  testing::TempDir dir_;
};

constexpr std::uint64_t kGiB = std::uint64_t{1} << 30;

TEST(DriveList, NumbersDisksByNamePositionAndNamesTheirMedia) {
  FakeMachine machine;
  machine.addDisk("sdb", 1, FakeMachine::Link::Symlink);
  machine.addDisk("nvme0n1", std::nullopt);
  machine.addDisk("sda", 0, FakeMachine::Link::Symlink);
  machine.addDisk("sdc", 1);                             // no node under /dev
  machine.addDisk("loop0", 0, FakeMachine::Link::None);  // not a hardware disk
  machine.addNode("nvme0n1", 80026361856);
  machine.addNode("sda", kGiB);
  machine.addNode("sdb", 8000000000);
  machine.addNode("loop0", kGiB);

  const DriveList list = machine.list();
  ASSERT_EQ(list.entries.size(), 3u);

  EXPECT_EQ(list.entries[0].number, 0);
  EXPECT_EQ(list.entries[0].devicePath, machine.dev() + "/nvme0n1");
  EXPECT_EQ(list.entries[0].mediaName, "Unknown");
  EXPECT_EQ(list.entries[0].capacity, 80026361856u);
  EXPECT_EQ(list.entries[0].listText,
            "DISK0  Unknown   "
            " "
            "     76319"
            " MB");

  EXPECT_EQ(list.entries[1].number, 1);
  EXPECT_EQ(list.entries[1].devicePath, machine.dev() + "/sda");
  EXPECT_EQ(list.entries[1].mediaName, "Fixed");
  EXPECT_EQ(list.entries[1].listText,
            "DISK1  Fixed     "
            " "
            "      1024"
            " MB");

  EXPECT_EQ(list.entries[2].number, 2);
  EXPECT_EQ(list.entries[2].devicePath, machine.dev() + "/sdb");
  EXPECT_EQ(list.entries[2].mediaName, "Removable");
  // 8000000000 / 2^20 = 7629.39
  EXPECT_EQ(list.entries[2].listText,
            "DISK2  Removable "
            " "
            "      7629"
            " MB");

  ASSERT_EQ(list.skipped.size(), 1u);
  EXPECT_EQ(list.skipped[0].devicePath, machine.dev() + "/sdc");
  EXPECT_EQ(list.skipped[0].reason.systemError(), ENOENT);
}

TEST(DriveList, GapsWhereANodeIsMissingAndAtMostTenDisks) {
  FakeMachine machine;
  for (char letter = 'a'; letter <= 'l'; ++letter) {  // twelve disks
    const std::string name = std::string("sd") + letter;
    machine.addDisk(name, 0);
    if (letter != 'c') {
      machine.addNode(name, (letter - 'a' + 1) * kGiB);
    }
  }
  const DriveList list = machine.list();
  std::vector<int> numbers;
  for (const DriveEntry& entry : list.entries) {
    numbers.push_back(entry.number);
    EXPECT_EQ(entry.capacity, static_cast<std::uint64_t>(entry.number + 1) * kGiB) << entry.devicePath;
    EXPECT_EQ(entry.devicePath, machine.dev() + "/sd" + static_cast<char>('a' + entry.number));
  }
  EXPECT_EQ(numbers, (std::vector<int>{0, 1, 3, 4, 5, 6, 7, 8, 9}));
  ASSERT_EQ(list.skipped.size(), 1u) << "disks after the tenth are not looked at";
  EXPECT_EQ(list.skipped[0].devicePath, machine.dev() + "/sdc");
  EXPECT_EQ(list.skipped[0].reason.systemError(), ENOENT);
}

TEST(DriveList, NodeThatCannotBeSizedIsSkipped) {
  FakeMachine machine;
  machine.addDisk("sda", 0);
  machine.addDisk("sdb", 0);
  fs::create_directory(machine.dev() + "/sda");  // opens, but has no size
  machine.addNode("sdb", kGiB);
  const DriveList list = machine.list();
  ASSERT_EQ(list.entries.size(), 1u);
  EXPECT_EQ(list.entries[0].number, 1);
  ASSERT_EQ(list.skipped.size(), 1u);
  EXPECT_EQ(list.skipped[0].devicePath, machine.dev() + "/sda");
  EXPECT_NE(list.skipped[0].reason.systemError(), 0);
}

TEST(DriveList, NothingToList) {
  FakeMachine machine;
  machine.addDisk("loop0", 0, FakeMachine::Link::None);
  machine.addNode("loop0", kGiB);
  const DriveList list = machine.list();
  EXPECT_TRUE(list.entries.empty());
  EXPECT_TRUE(list.skipped.empty());

  const DriveList missing = listDrives(machine.dev() + "/no-such-dir", machine.dev());
  EXPECT_TRUE(missing.entries.empty());
  EXPECT_TRUE(missing.skipped.empty());
}

TEST(DriveListText, Layout) {
  // 80026361856 bytes >> 20 = 76319 MB.
  EXPECT_EQ(formatDriveListText(0, "Fixed", 80026361856),
            "DISK0  Fixed     "
            " "
            "     76319"
            " MB");
  EXPECT_EQ(formatDriveListText(9, "Removable", (std::uint64_t{1} << 20) - 1),
            "DISK9  Removable "
            " "
            "         0"
            " MB");
  // A capacity too wide for the column widens it.
  EXPECT_EQ(formatDriveListText(3, "Unknown", std::uint64_t{1} << 60), "DISK3  Unknown    1099511627776 MB");
}

TEST(DescribeOpenFailure, DevicePermissionNamesTheDiskGroup) {
  const std::string text = describeOpenFailure("/dev/sdb", EACCES);
  EXPECT_NE(text.find("/dev/sdb"), std::string::npos) << text;
  EXPECT_NE(text.find("'disk' group"), std::string::npos) << text;
  EXPECT_EQ(text.find('\n'), std::string::npos) << "one line";

  const std::string file = describeOpenFailure("/home/someone/rec.QKV", EACCES);
  EXPECT_NE(file.find("/home/someone/rec.QKV"), std::string::npos) << file;
  EXPECT_EQ(file.find("disk"), std::string::npos) << "no disk remedy for a file: " << file;

  const std::string missing = describeOpenFailure("/dev/sdz", ENOENT);
  EXPECT_NE(missing.find(std::strerror(ENOENT)), std::string::npos) << missing;
  EXPECT_EQ(missing.find("group"), std::string::npos) << missing;
}

}  // namespace
}  // namespace marlin
