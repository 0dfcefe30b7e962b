#include "base/log.h"

#include <array>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

namespace marlin {

namespace {

constexpr std::array<std::string_view, 4> kLevelNames = {"error", "warning", "info", "debug"};
constexpr int kQuiet = -1;

int thresholdOf(std::optional<LogLevel> level) { return level ? static_cast<int>(*level) : kQuiet; }

class StderrSink final : public LogSink {
 public:
  void write(LogLevel level, std::string_view message) override {
    std::string line = "marlin: ";
    line.append(logLevelName(level)).append(": ").append(message).push_back('\n');
    std::fputs(line.c_str(), stderr);
  }
};

// Read from the environment on first use, so that the level holds before any
// static object of another file logs.
std::atomic<int>& threshold() {
  static std::atomic<int> value{[] {
    const char* text = std::getenv("MARLIN_LOG");
    return thresholdOf(text != nullptr ? parseLogLevel(text) : std::nullopt);
  }()};
  return value;
}

struct SinkSlot {
  std::mutex lock;
  StderrSink standard;
  LogSink* current = &standard;
};

SinkSlot& sinkSlot() {
  static SinkSlot slot;
  return slot;
}

}  // namespace

std::optional<LogLevel> parseLogLevel(std::string_view text) {
  for (std::size_t i = 0; i < kLevelNames.size(); ++i) {
    if (text == kLevelNames[i]) {
      return static_cast<LogLevel>(i);
    }
  }
  return std::nullopt;
}

std::string_view logLevelName(LogLevel level) { return kLevelNames[static_cast<std::size_t>(level)]; }

void setLogLevel(std::optional<LogLevel> level) { threshold().store(thresholdOf(level)); }

bool logEnabled(LogLevel level) { return static_cast<int>(level) <= threshold().load(std::memory_order_relaxed); }

void setLogSink(LogSink* sink) {
  SinkSlot& slot = sinkSlot();
  const std::lock_guard guard(slot.lock);
  slot.current = sink != nullptr ? sink : &slot.standard;
}

void logMessage(LogLevel level, std::string_view message) {
  if (!logEnabled(level)) {
    return;
  }
  SinkSlot& slot = sinkSlot();
  const std::lock_guard guard(slot.lock);
  slot.current->write(level, message);
}

}  // namespace marlin
