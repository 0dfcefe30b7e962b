#include "app/cli/progress_line.h"

#include <cstdio>
#include <unistd.h>

namespace marlin::cli {

ProgressLine::ProgressLine(std::string label) : label_(std::move(label)), enabled_(::isatty(STDERR_FILENO) == 1) {}

ProgressLine::~ProgressLine() { finish(); }

void ProgressLine::update(std::uint64_t done, std::uint64_t total) {
  if (!enabled_ || total == 0) {
    return;
  }
  const auto now = std::chrono::steady_clock::now();
  if (shown_ && now - lastDraw_ < std::chrono::milliseconds(100)) {
    return;
  }
  lastDraw_ = now;
  shown_ = true;
  const double percent = 100.0 * static_cast<double>(std::min(done, total)) / static_cast<double>(total);
  std::fprintf(stderr, "\r%s %5.1f%%", label_.c_str(), percent);
  std::fflush(stderr);
}

void ProgressLine::finish() {
  if (shown_) {
    std::fprintf(stderr, "\r%*s\r", static_cast<int>(label_.size()) + 8, "");
    std::fflush(stderr);
    shown_ = false;
  }
}

}  // namespace marlin::cli
