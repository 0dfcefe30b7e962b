#include "app/cli/progress_line.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace marlin::cli {

ProgressLine::ProgressLine(std::string label, WhenNotTerminal notTerminal)
    : label_(std::move(label)),
      terminal_(::isatty(STDERR_FILENO) == 1),
      enabled_(terminal_ || notTerminal == WhenNotTerminal::PlainLines) {}

ProgressLine::~ProgressLine() { finish(); }

void ProgressLine::update(std::uint64_t done, std::uint64_t total, const std::string& detail) {
  if (!enabled_ || total == 0) {
    return;
  }
  const auto now = std::chrono::steady_clock::now();
  const auto interval = terminal_ ? std::chrono::milliseconds(100) : std::chrono::milliseconds(1000);
  if (shown_ && now - lastDraw_ < interval) {
    return;
  }
  lastDraw_ = now;
  shown_ = true;
  const double percent = 100.0 * static_cast<double>(std::min(done, total)) / static_cast<double>(total);
  if (!terminal_) {
    std::fprintf(stderr, "%s %5.1f%% %s\n", label_.c_str(), percent, detail.c_str());
    return;
  }
  constexpr int kBarWidth = 20;
  const int filled = static_cast<int>(percent * kBarWidth / 100.0);
  const std::string bar = std::string(filled, '#') + std::string(kBarWidth - filled, '.');
  // Spaces cover what a longer line before left behind.
  const int width =
      std::fprintf(stderr, "\r%s [%s] %5.1f%% %s", label_.c_str(), bar.c_str(), percent, detail.c_str()) - 1;
  std::fprintf(stderr, "%*s", std::max(0, drawnWidth_ - width), "");
  drawnWidth_ = std::max(drawnWidth_, width);
  std::fflush(stderr);
}

void ProgressLine::finish() {
  if (shown_ && terminal_) {
    std::fprintf(stderr, "\r%*s\r", std::max(drawnWidth_, static_cast<int>(label_.size()) + 8), "");
    std::fflush(stderr);
  }
  shown_ = false;
}

}  // namespace marlin::cli
