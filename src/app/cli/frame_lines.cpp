#include "app/cli/frame_lines.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <string>

namespace marlin::cli {

void FrameLines::add(std::uint64_t index, const FrameHeader& header, std::uint64_t position,
                     const std::optional<CalendarTime>& blockTime) {
  if (buffer_.size() - used_ < kLongestLine) {
    flush();
  }
  appendNumber(index);
  append(header.isAudio ? " audio " : " video ", 7);
  appendNumber(header.channel);
  append(" ", 1);
  appendNumber(header.length);
  append(" ", 1);
  appendNumber(position);
  append(" ", 1);
  setTimeText(blockTime);
  append(timeText_.data(), timeLength_);
  append("\n", 1);
}

void FrameLines::flush() {
  if (used_ != 0) {
    std::fwrite(buffer_.data(), 1, used_, out_);
    used_ = 0;
  }
}

void FrameLines::append(const char* text, std::size_t n) {
  std::memcpy(buffer_.data() + used_, text, n);
  used_ += n;
}

void FrameLines::appendNumber(std::uint64_t value) {
  char* const at = buffer_.data() + used_;
  used_ = static_cast<std::size_t>(std::to_chars(at, at + 20, value).ptr - buffer_.data());
}

void FrameLines::setTimeText(const std::optional<CalendarTime>& blockTime) {
  if (blockTime == timeOfText_) {
    return;
  }
  timeOfText_ = blockTime;
  const std::string text = blockTime ? formatCalendarTime(*blockTime) : "-";
  timeLength_ = std::min(text.size(), timeText_.size());
  std::memcpy(timeText_.data(), text.data(), timeLength_);
}

}  // namespace marlin::cli
