// marlin given what a careless or hostile user gives it: FIFOs, devices
// behind its own recording, limits, numbers out of range, unwritable outputs.
// Each must end in one line and an exit status, never in a hang, a signal or
// a success that lost data.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sstream>

#include "run_marlin.h"

namespace marlin::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr std::uint64_t kBlock = 4096;

class HostileInput : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fs::exists(sample)) << sample;
    sampleSize = fs::file_size(sample);
    ASSERT_EQ(sampleSize % kBlock, 0u);
    ASSERT_GT(sampleSize, 30 * kBlock);
  }
  Result run(const std::vector<std::string>& args, const RunOptions& options = {}) const {
    return runMarlin(dir, args, options);
  }
  std::vector<std::uint8_t> sampleBytes(std::uint64_t n) const {
    std::vector<std::uint8_t> bytes = readFile(sample);
    bytes.resize(n);
    return bytes;
  }

  TempDir dir;
  const std::string sample = MARLIN_SAMPLE_RECORDING;
  std::uint64_t sampleSize = 0;
};

TEST_F(HostileInput, AFifoIsRefusedAtOnceAsInputAndAsCutOutput) {
  const std::string fifo = dir.file("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0) << std::strerror(errno);
  const RunOptions quick{5s, {}};
  const std::string neither = fifo + " is neither a recording file nor a disk";
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"info", fifo},
           {"frames", fifo},
           {"decode", fifo, "--out", dir.file("pictures")},
           {"play", fifo, "--no-audio"},
           {"cut", fifo, "0", "5000", dir.file("cut.QKV")},
       }) {
    SCOPED_TRACE(args[0]);
    expectOneLineFailure(run(args, quick), "Open Error: " + neither);
  }
  expectOneLineFailure(run({"cut", sample, "0", "5000", fifo}, quick), fifo + " is a FIFO, not a regular file");
}

// Loop devices are the machine's own: this needs root and a loop driver.
class LoopDevice {
 public:
  explicit LoopDevice(const std::string& image) {
    const std::string command = "losetup --find --show '" + image + "' 2>/dev/null";
    if (std::FILE* pipe = ::popen(command.c_str(), "r")) {
      std::array<char, 256> line{};
      if (std::fgets(line.data(), line.size(), pipe) != nullptr) {
        path_ = line.data();
        path_.erase(path_.find_last_not_of('\n') + 1);
      }
      if (::pclose(pipe) != 0) {
        path_.clear();
      }
    }
    if (!path_.empty() && !fs::exists(path_)) {
      detach();  // attached, but its node is not in this /dev
    }
  }
  ~LoopDevice() { detach(); }
  LoopDevice(const LoopDevice&) = delete;
  LoopDevice& operator=(const LoopDevice&) = delete;

  const std::string& path() const { return path_; }

 private:
  void detach() {
    if (!path_.empty()) {
      const std::string command = "losetup --detach '" + path_ + "' 2>/dev/null";
      [[maybe_unused]] const int ignored = std::system(command.c_str());
      path_.clear();
    }
  }
  std::string path_;
};

TEST_F(HostileInput, CutRefusesTheLoopDeviceBehindItsRecordingEitherWay) {
  const std::string image = dir.file("image.QKV");
  writeFile(image, readFile(sample));
  const LoopDevice loop(image);
  if (loop.path().empty()) {
    GTEST_SKIP() << "losetup is not permitted here";
  }
  expectOneLineFailure(run({"cut", image, "0", "5000", loop.path(), "--to-device"}), "the recording itself");
  expectOneLineFailure(run({"cut", loop.path(), "0", "5000", image}), "the recording itself");
  EXPECT_EQ(readFile(image), readFile(sample)) << "the recording was written over";
}

// Whatever writes, a name of the recording it reads (a hard link, a symbolic link) is refused before anything is
// written, and the recording stays whole.
TEST_F(HostileInput, NoOutputIsOpenedOverTheRecordingBeingRead) {
  const std::string recording = dir.file("rec.QKV");
  writeFile(recording, readFile(sample));
  fs::create_hard_link(recording, dir.file("out-CH2.avi"));
  expectOneLineFailure(run({"export", recording, dir.file("out.avi")}), "out-CH2.avi is the recording itself");
  EXPECT_FALSE(fs::exists(dir.file("out-CH1.avi"))) << "a refused export leaves no files";
  fs::create_symlink(recording, dir.file("clip-CH1.mkv"));
  expectOneLineFailure(run({"export", recording, dir.file("clip.mkv")}), "clip-CH1.mkv is the recording itself");
  fs::create_symlink(recording, dir.file("shown.avi"));
  expectOneLineFailure(run({"play", recording, "--no-audio", "--seconds", "1", "--avi", dir.file("shown.avi")}),
                       "shown.avi is the recording itself");
  const std::string stills = dir.file("stills");
  fs::create_directories(stills);
  fs::create_hard_link(recording, stills + "/snapshot-000001.bmp");
  const Result played =
      run({"play", recording, "--no-audio", "--seconds", "1", "--snapshot-every", "1", "--out", stills});
  EXPECT_NE(played.err.find("cannot write " + stills + "/snapshot-000001.bmp"), std::string::npos) << played;
  EXPECT_EQ(readFile(recording), readFile(sample)) << "the recording was written over";
}

TEST_F(HostileInput, AnExportIntoAFifoIsRefusedAtOnce) {
  ASSERT_EQ(::mkfifo(dir.file("live-CH1.avi").c_str(), 0600), 0) << std::strerror(errno);
  expectOneLineFailure(run({"export", sample, dir.file("live.avi")}, {5s, {}}),
                       "live-CH1.avi is a FIFO, not a regular file");
}

// The MP4 rewrite's file beside the output is a FIFO: the rewrite is refused at once, the file keeps its
// fragments, and the FIFO stays.
TEST_F(HostileInput, AFifoWhereAnMp4IsRewrittenLeavesTheFragments) {
  const std::string rewrite = dir.file("clip-CH1.mp4.part");
  ASSERT_EQ(::mkfifo(rewrite.c_str(), 0600), 0) << std::strerror(errno);
  const Result r = run({"export", sample, dir.file("clip.mp4"), "--channels", "1"}, {60s, {}});
  ASSERT_TRUE(r.exited && r.status == 0) << r;
  EXPECT_TRUE(fs::is_fifo(rewrite));
  EXPECT_GT(fs::file_size(dir.file("clip-CH1.mp4")), 0u);
}

TEST_F(HostileInput, CutWritesOntoABlockDeviceOnlyWhenAskedTo) {
  // A node of a device number no driver serves: nothing can be written to it.
  const std::string device = dir.file("disk");
  if (::mknod(device.c_str(), S_IFBLK | 0600, makedev(240, 0)) != 0) {
    GTEST_SKIP() << "cannot make device nodes here (needs root): " << std::strerror(errno);
  }
  expectOneLineFailure(run({"cut", sample, "0", "5000", device}), "block device");
  // Asked for, the cut goes as far as opening the device.
  expectOneLineFailure(run({"cut", sample, "0", "5000", device, "--to-device"}), "cannot create " + device);
}

TEST_F(HostileInput, AFileSizeLimitFailsTheCutWithWholeBlocks) {
  const std::string out = dir.file("limited.QKV");
  RunOptions limited;
  limited.inChild = [] {
    const rlimit limit{10000, 10000};
    ::setrlimit(RLIMIT_FSIZE, &limit);
  };
  expectOneLineFailure(run({"cut", sample, "0", "100000", out}, limited), std::strerror(EFBIG));
  EXPECT_EQ(readFile(out), sampleBytes(2 * kBlock));
}

// A disk that fills up before a whole picture is in (a file size limit here, past the header but short of a picture):
// no file is left for players to refuse; each is removed and listed as failed.
TEST_F(HostileInput, AnExportThatGetsNoWholePictureOutLeavesNoFiles) {
  RunOptions limited;
  limited.inChild = [] {
    const rlimit limit{16384, 16384};
    ::setrlimit(RLIMIT_FSIZE, &limit);
  };
  for (const char* codec : {"raw", "ffv1"}) {
    SCOPED_TRACE(codec);
    const Result r = run({"export", sample, dir.file("full.avi"), "--codec", codec, "--channels", "1,2"}, limited);
    EXPECT_EQ(r.status, 1) << r;
    for (const std::string channel : {"1", "2"}) {
      const std::string path = dir.file("full-CH" + channel + ".avi");
      const std::string line = "CH" + channel + "  " + path + "  0 frames  0.0 s (sound paced)  0 bytes  FAILED: " +
                               "cannot write to the file: " + std::strerror(EFBIG) + "; the file is removed";
      EXPECT_NE(r.out.find(line), std::string::npos) << r;
      EXPECT_FALSE(fs::exists(path));
    }
  }
}

TEST_F(HostileInput, ACutInsideTheTrailingPieceIsRefused) {
  std::vector<std::uint8_t> bytes = readFile(sample);
  bytes.insert(bytes.end(), 1000, 0xA5);
  const std::string withTail = dir.file("tail.QKV");
  writeFile(withTail, bytes);
  const std::string out = dir.file("empty.QKV");
  expectOneLineFailure(run({"cut", withTail, std::to_string(sampleSize + 10), std::to_string(sampleSize + 20), out}),
                       "after the last whole block");
  EXPECT_FALSE(fs::exists(out));
}

TEST_F(HostileInput, FramesFromAMarkOnTheLastByteListNothing) {
  const Result r = run({"frames", "--mark", std::to_string(sampleSize - 1), sample});
  EXPECT_TRUE(r.exited && r.status == 0) << r;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "");
}

TEST_F(HostileInput, NegativeNumbersForUnsignedOptionsAreRefused) {
  const std::string out = dir.file("out");
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"cut", sample, "-1", "100", out},
           {"cut", sample, "0", "-4096", out},
           {"frames", "--from", "-1", sample},
           {"frames", "--mark", "-1", sample},
           {"decode", sample, "--limit", "-1", "--out", out},
       }) {
    SCOPED_TRACE(args[0] + " " + args[1] + " " + args[2]);
    expectOneLineFailure(run(args), "negative");
  }
  EXPECT_FALSE(fs::exists(out));
}

TEST_F(HostileInput, PlayRefusesSpeedsAndDurationsOutOfRange) {
  for (const char* speed : {"1e-300", "0.05", "0", "-2", "inf", "nan", "131072"}) {
    SCOPED_TRACE(speed);
    expectOneLineFailure(run({"play", sample, "--no-audio", "--speed", speed}), "--speed");
  }
  for (const char* seconds : {"0", "-1", "1e300", "inf", "nan"}) {
    SCOPED_TRACE(seconds);
    const Result r = run({"play", sample, "--no-audio", "--seconds", seconds});
    expectOneLineFailure(r, "--seconds");
    EXPECT_LT(r.err.size(), 100u) << "a short line, no limit spelled out in full";
  }
}

TEST_F(HostileInput, WriteErrorsOfDecodeAndFrameDumpsSayWhy) {
  // A folder where the first file is to go: the write fails even for root.
  const std::string pictures = dir.file("pictures");
  fs::create_directories(pictures + "/000000-ch0.yuv");
  expectOneLineFailure(run({"decode", sample, "--limit", "1", "--out", pictures}), std::strerror(EISDIR));

  const Result listed = run({"frames", sample});
  ASSERT_TRUE(listed.exited && listed.status == 0) << listed;
  std::istringstream firstLine(listed.out);
  std::string index;
  std::string kind;
  unsigned channel = 0;
  ASSERT_TRUE(firstLine >> index >> kind >> channel) << listed.out;
  const std::string dump = dir.file("dump");
  fs::create_directories(dump + "/000000-" + kind + "-ch" + std::to_string(channel) + ".bin");
  // The frame's line comes out before its dump fails.
  const Result dumped = run({"frames", sample, "--dump", dump});
  EXPECT_EQ(dumped.status, 1) << dumped;
  EXPECT_EQ(dumped.out, listed.out.substr(0, listed.out.find('\n') + 1));
  EXPECT_NE(dumped.err.find(std::strerror(EISDIR)), std::string::npos) << dumped;
}

TEST_F(HostileInput, DiagnosticsOnlyWhenAskedFor) {
  const std::string missing = dir.file("missing.QKV");
  const auto withLog = [](const char* level) {
    return RunOptions{0ms, [level] {
                        if (level != nullptr) {
                          ::setenv("MARLIN_LOG", level, 1);
                        } else {
                          ::unsetenv("MARLIN_LOG");
                        }
                      }};
  };
  const std::string diagnostic = "marlin: info: cannot open " + missing;
  expectOneLineFailure(run({"info", missing}, withLog(nullptr)), missing);
  expectOneLineFailure(run({"info", missing}, withLog("warning")), missing);

  for (const Result& r :
       {run({"info", missing}, withLog("info")), run({"--verbose", "info", missing}, withLog(nullptr)),
        run({"info", missing, "--verbose"}, withLog(nullptr))}) {
    EXPECT_EQ(r.status, 1) << r;
    EXPECT_NE(r.err.find(diagnostic), std::string::npos) << r;
    EXPECT_NE(r.err.find("marlin: cannot open " + missing), std::string::npos) << r;
  }
}

}  // namespace
}  // namespace marlin::testing
