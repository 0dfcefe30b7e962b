// Naming and placing local recordings.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <optional>
#include <random>

#include "source/recording_path.h"
#include "source/recording_writer.h"
#include "support/synthetic_recording.h"
#include "support/temp_dir.h"

namespace marlin {
namespace {

// Sets TZ for the lifetime of the object and puts the previous value back.
class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const char* zone) {
    if (const char* old = std::getenv("TZ")) {
      previous_ = old;
    }
    ::setenv("TZ", zone, 1);
    ::tzset();
  }
  ~ScopedTimeZone() {
    if (previous_) {
      ::setenv("TZ", previous_->c_str(), 1);
    } else {
      ::unsetenv("TZ");
    }
    ::tzset();
  }
  ScopedTimeZone(const ScopedTimeZone&) = delete;
  ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

 private:
  std::optional<std::string> previous_;
};

struct NameCase {
  const char* zone;
  std::time_t time;
  const char* name;
};

TEST(LocalRecordingFileName, IsLocalTimeWithSeconds) {
  const NameCase cases[] = {
      {"UTC0", 1262303999, "20091231-235959.QKV"},  // 2009-12-31 23:59:59 UTC
      {"UTC0", 1000000000, "20010909-014640.QKV"},
      {"UTC0", 0, "19700101-000000.QKV"},
      // Five hours west: the evening before.
      {"EST5", 1000000000, "20010908-204640.QKV"},
      // Daylight saving is part of local time here (September: UTC-4).
      {"EST5EDT,M3.2.0,M11.1.0", 1000000000, "20010908-214640.QKV"},
      // East of UTC across the new year.
      {"JST-9", 1262303999, "20100101-085959.QKV"},
  };
  for (const NameCase& c : cases) {
    const ScopedTimeZone zone(c.zone);
    EXPECT_EQ(localRecordingFileName(c.time), c.name) << c.zone << " " << c.time;
  }
}

TEST(LocalRecordingPath, JoinsFolderAndName) {
  struct Case {
    const char* folder;
    const char* path;
  };
  const Case cases[] = {
      {"", "20091231-235959.QKV"},                 // no folder: current directory
      {"C", "20091231-235959.QKV"},                // one character is not a folder
      {"/", "20091231-235959.QKV"},                // not even the root
      {"ab", "ab/20091231-235959.QKV"},
      {"/srv/capture", "/srv/capture/20091231-235959.QKV"},
      {"/srv/capture/", "/srv/capture/20091231-235959.QKV"},  // no doubled separator
      {"./", "./20091231-235959.QKV"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(localRecordingPath(c.folder, "20091231-235959.QKV"), c.path) << '"' << c.folder << '"';
  }
}

TEST(LocalRecordingPath, CreatesOneFolderLevel) {
  testing::TempDir dir;
  const std::string folder = dir.file("capture");
  createRecordingFolder(folder);
  EXPECT_TRUE(std::filesystem::is_directory(folder));
  createRecordingFolder(folder);  // an existing folder is fine
  EXPECT_TRUE(std::filesystem::is_directory(folder));

  const std::string nested = dir.file("a/b");
  createRecordingFolder(nested);
  EXPECT_FALSE(std::filesystem::exists(nested)) << "only one level is created";
}

std::uint32_t sameSecond() { return 1262303999; }

TEST(LocalRecordingPath, TwoStartsInOneSecondShareTheFileAndTheSecondTruncates) {
  const ScopedTimeZone zone("UTC0");
  testing::TempDir dir;
  const std::string first = localRecordingPath(dir.path().string(), localRecordingFileName(sameSecond()));
  const std::string second = localRecordingPath(dir.path().string(), localRecordingFileName(sameSecond()));
  ASSERT_EQ(first, second);
  EXPECT_EQ(std::filesystem::path(first).filename(), "20091231-235959.QKV");

  std::mt19937 random(1);
  RecordingWriter writer(sameSecond);
  writer.setFormat(2, 4, 4);
  ASSERT_TRUE(writer.open(first));
  synth::Bytes big = synth::makeVideoFrame(0, 10000, random, false);
  big[4] = 0x80;  // refresh picture in the live layout
  big[5] = 0x00;
  big[6] = 0x05;
  ASSERT_TRUE(writer.writeVideo(big.data(), big.size()));
  writer.close();
  ASSERT_EQ(std::filesystem::file_size(first), 12288u);

  ASSERT_TRUE(writer.open(second));
  ASSERT_TRUE(writer.isOpen());
  EXPECT_EQ(std::filesystem::file_size(second), 0u) << "the new recording starts from an empty file";
  synth::Bytes small = synth::makeVideoFrame(0, 100, random, false);
  small[4] = 0x80;
  small[5] = 0x00;
  small[6] = 0x06;
  ASSERT_TRUE(writer.writeVideo(small.data(), small.size()));
  writer.close();

  const auto bytes = testing::readFile(second);
  ASSERT_EQ(bytes.size(), 4096u);
  EXPECT_TRUE(std::equal(small.begin(), small.end(), bytes.begin() + 8));
  EXPECT_TRUE(std::all_of(bytes.begin() + 108, bytes.end(), [](std::uint8_t b) { return b == 0; }))
      << "nothing of the first recording may remain";
}

}  // namespace
}  // namespace marlin
