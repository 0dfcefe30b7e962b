#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace marlin::cli {

// A self-overwriting "label  42%" line on standard error, shown only when
// standard error is a terminal and refreshed at most ten times a second.
class ProgressLine {
 public:
  explicit ProgressLine(std::string label);
  ~ProgressLine();
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  void update(std::uint64_t done, std::uint64_t total);
  void finish();

 private:
  std::string label_;
  bool enabled_;
  bool shown_ = false;
  std::chrono::steady_clock::time_point lastDraw_{};
};

}  // namespace marlin::cli
