// Opening outputs: never over a file being read, never into anything but a
// regular file, never waiting.
#include "platform/output_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/block_file.h"
#include "support/temp_dir.h"

namespace marlin {
namespace {

namespace fs = std::filesystem;

const std::vector<std::uint8_t> kRecorded{1, 2, 3, 4, 5};

// Writes bytes through an output opened by the rules; the failure when it is refused.
Status writeThrough(const std::string& path, OutputOpening opening, std::vector<std::uint8_t> bytes = {9, 9}) {
  int fd = -1;
  if (Status opened = openOutputFile(path, opening, BlockDeviceOutput::Refused, fd); !opened) return opened;
  const bool written = ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  ::close(fd);
  return written ? Status::ok() : Status::fromErrno(errno, "write");
}

TEST(OutputFile, AFileBeingReadIsRefusedUnderEveryNameUntilItIsClosed) {
  testing::TempDir dir;
  const std::string recording = dir.file("rec.QKV");
  testing::writeFile(recording, kRecorded);
  fs::create_hard_link(recording, dir.file("hard.avi"));
  fs::create_symlink(recording, dir.file("soft.avi"));
  {
    BlockFile reading;
    ASSERT_TRUE(reading.open(recording));
    for (const std::string name : {"rec.QKV", "hard.avi", "soft.avi"}) {
      SCOPED_TRACE(name);
      for (const OutputOpening opening : {OutputOpening::Replace, OutputOpening::Append}) {
        const Status refused = writeThrough(dir.file(name), opening);
        ASSERT_FALSE(refused);
        EXPECT_NE(refused.message().find("is the recording itself"), std::string::npos) << refused.message();
      }
    }
    EXPECT_EQ(testing::readFile(recording), kRecorded);
  }
  // Closed, it is a file like any other.
  ASSERT_TRUE(writeThrough(dir.file("hard.avi"), OutputOpening::Append, {6}));
  EXPECT_EQ(testing::readFile(recording), (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6}));
  ASSERT_TRUE(writeThrough(dir.file("soft.avi"), OutputOpening::Replace, {7}));
  EXPECT_EQ(testing::readFile(recording), std::vector<std::uint8_t>{7});
}

TEST(OutputFile, OnlyRegularFilesAreWrittenAndAFifoIsRefusedWithoutWaiting) {
  testing::TempDir dir;
  const std::string fifo = dir.file("fifo.avi");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0) << std::strerror(errno);
  // Without a reader, an open for writing that waited would never return.
  const Status refused = writeThrough(fifo, OutputOpening::Replace);
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.message(), fifo + " is a FIFO, not a regular file");
  const Status device = writeThrough("/dev/null", OutputOpening::Append);
  ASSERT_FALSE(device);
  EXPECT_EQ(device.message(), "/dev/null is a character device, not a regular file");
  // A folder fails the open with the system's own reason.
  const Status folder = writeThrough(dir.path().string(), OutputOpening::Replace);
  ASSERT_FALSE(folder);
  EXPECT_EQ(folder.systemError(), EISDIR);
}

}  // namespace
}  // namespace marlin
