#include "base/log.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace marlin {
namespace {

// Keeps what arrives and notices two writes at once.
class CollectingSink final : public LogSink {
 public:
  void write(LogLevel level, std::string_view message) override {
    if (inside_.exchange(true)) {
      overlapped_ = true;
    }
    lines.push_back(std::string(logLevelName(level)) + " " + std::string(message));
    inside_ = false;
  }
  std::vector<std::string> lines;
  bool overlapped() const { return overlapped_; }

 private:
  std::atomic<bool> inside_{false};
  std::atomic<bool> overlapped_{false};
};

class Log : public ::testing::Test {
 protected:
  void SetUp() override { setLogSink(&sink); }
  void TearDown() override {
    setLogSink(nullptr);
    setLogLevel(std::nullopt);
  }
  CollectingSink sink;
};

TEST_F(Log, LevelsByName) {
  EXPECT_EQ(parseLogLevel("error"), LogLevel::Error);
  EXPECT_EQ(parseLogLevel("warning"), LogLevel::Warning);
  EXPECT_EQ(parseLogLevel("info"), LogLevel::Info);
  EXPECT_EQ(parseLogLevel("debug"), LogLevel::Debug);
  for (const char* unknown : {"", "verbose", "DEBUG", "warn", "debug "}) {
    EXPECT_EQ(parseLogLevel(unknown), std::nullopt) << unknown;
  }
}

TEST_F(Log, WritesOnlyUpToTheLevelSetAndNothingWhenQuiet) {
  setLogLevel(std::nullopt);
  logError("dropped");
  setLogLevel(LogLevel::Warning);
  logError("kept 1");
  logWarning("kept 2");
  logInfo("dropped");
  logDebug("dropped");
  EXPECT_EQ(sink.lines, (std::vector<std::string>{"error kept 1", "warning kept 2"}));
  EXPECT_TRUE(logEnabled(LogLevel::Warning));
  EXPECT_FALSE(logEnabled(LogLevel::Info));
}

TEST_F(Log, ThreadsWriteOneMessageAtATime) {
  setLogLevel(LogLevel::Debug);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < 500; ++i) {
        logDebug("thread " + std::to_string(t));
      }
    });
  }
  for (std::thread& thread : threads) {
    thread.join();
  }
  EXPECT_EQ(sink.lines.size(), 2000u);
  EXPECT_FALSE(sink.overlapped());
}

}  // namespace
}  // namespace marlin
