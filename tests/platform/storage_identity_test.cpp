// Telling whether two paths lead to the same bytes, with device nodes made by
// mknod (root only) and a stand-in for /sys/dev/block.
#include "platform/storage_identity.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "support/temp_dir.h"

namespace marlin {
namespace {

namespace fs = std::filesystem;

class StorageIdentity : public ::testing::Test {
 protected:
  struct stat look(const std::string& path) const {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path << ": " << std::strerror(errno);
    return info;
  }
  bool same(const std::string& a, const std::string& b) const { return sameStorage(look(a), look(b), sysDevBlock()); }
  std::string file(const std::string& name) const {
    const std::string path = dir.file(name);
    std::ofstream(path) << name;
    return path;
  }
  // A block device node; skips the test where nodes cannot be made.
  std::string node(const std::string& name, unsigned majorNumber, unsigned minorNumber) const {
    const std::string path = dir.file(name);
    if (::mknod(path.c_str(), S_IFBLK | 0600, makedev(majorNumber, minorNumber)) != 0) {
      return {};
    }
    return path;
  }
  std::string sysDevBlock() const { return dir.file("sys-dev-block"); }
  // What the kernel shows for an attached loop device.
  void attachLoop(unsigned majorNumber, unsigned minorNumber, const std::string& backingFile) const {
    const fs::path entry =
        fs::path(sysDevBlock()) / (std::to_string(majorNumber) + ":" + std::to_string(minorNumber)) / "loop";
    fs::create_directories(entry);
    std::ofstream(entry / "backing_file") << backingFile << "\n";
  }

  testing::TempDir dir;
};

TEST_F(StorageIdentity, OneFileUnderTwoNamesButNotTwoFiles) {
  const std::string recording = file("rec.QKV");
  const std::string other = file("other.QKV");
  const std::string link = dir.file("hard.QKV");
  ASSERT_EQ(::link(recording.c_str(), link.c_str()), 0);
  EXPECT_TRUE(same(recording, link));
  EXPECT_FALSE(same(recording, other));
}

TEST_F(StorageIdentity, TwoNodesOfOneDevice) {
  const std::string first = node("disk-a", 240, 7);
  const std::string second = node("disk-b", 240, 7);
  const std::string elsewhere = node("disk-c", 240, 8);
  if (first.empty() || second.empty() || elsewhere.empty()) {
    GTEST_SKIP() << "cannot make device nodes here (needs root)";
  }
  EXPECT_TRUE(same(first, second));
  EXPECT_FALSE(same(first, elsewhere));
}

TEST_F(StorageIdentity, ALoopDeviceAndTheFileBehindIt) {
  const std::string image = file("disk.img");
  const std::string unrelated = file("unrelated.img");
  const std::string loop = node("loop-a", 7, 200);
  const std::string loopOfOther = node("loop-b", 7, 201);
  const std::string sameImageAgain = node("loop-c", 7, 202);
  if (loop.empty() || loopOfOther.empty() || sameImageAgain.empty()) {
    GTEST_SKIP() << "cannot make device nodes here (needs root)";
  }
  attachLoop(7, 200, image);
  attachLoop(7, 201, unrelated);
  attachLoop(7, 202, image);
  EXPECT_TRUE(same(loop, image));
  EXPECT_TRUE(same(image, loop));
  EXPECT_TRUE(same(loop, sameImageAgain));
  EXPECT_FALSE(same(loopOfOther, image));
  EXPECT_FALSE(same(loop, loopOfOther));
  // A backing file deleted since is not the new file under its name.
  attachLoop(7, 201, image + " (deleted)");
  EXPECT_FALSE(same(loopOfOther, image));
}

}  // namespace
}  // namespace marlin
