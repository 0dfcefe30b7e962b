#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace marlin::cli {

// What a progress line does when standard error is not a terminal: nothing,
// or a plain line at most once a second (for logs of long runs).
enum class WhenNotTerminal { Silent, PlainLines };

// A self-overwriting "label [########............]  42%  detail" line on
// standard error when it is a terminal, refreshed at most ten times a second.
class ProgressLine {
 public:
  explicit ProgressLine(std::string label, WhenNotTerminal notTerminal = WhenNotTerminal::Silent);
  ~ProgressLine();
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  // detail follows the percentage (counts, speed, time left).
  void update(std::uint64_t done, std::uint64_t total, const std::string& detail = {});
  void finish();

 private:
  std::string label_;
  bool terminal_;
  bool enabled_;
  bool shown_ = false;
  int drawnWidth_ = 0;
  std::chrono::steady_clock::time_point lastDraw_{};
};

}  // namespace marlin::cli
