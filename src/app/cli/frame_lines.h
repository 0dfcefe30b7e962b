#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>

#include "base/calendar.h"
#include "source/frame_header.h"

namespace marlin::cli {

// The frames command's listing, one line per delivered frame:
// "INDEX KIND CHANNEL LENGTH POSITION TIME", TIME "-" while no block time is
// known. Lines are put together in one buffer and written in large pieces:
// a formatted print per line used to cost more than reading the frame.
class FrameLines {
 public:
  explicit FrameLines(std::FILE* out) : out_(out) {}
  ~FrameLines() { flush(); }
  FrameLines(const FrameLines&) = delete;
  FrameLines& operator=(const FrameLines&) = delete;

  void add(std::uint64_t index, const FrameHeader& header, std::uint64_t position,
           const std::optional<CalendarTime>& blockTime);
  void flush();

 private:
  void append(const char* text, std::size_t n);
  void appendNumber(std::uint64_t value);
  void setTimeText(const std::optional<CalendarTime>& blockTime);

  // Room for the longest line, so a line is never split between two writes.
  static constexpr std::size_t kLongestLine = 128;

  std::FILE* out_;
  std::array<char, std::size_t{64} << 10> buffer_;
  std::size_t used_ = 0;
  // Frames come many to one block time, so its text is made once per time.
  std::optional<CalendarTime> timeOfText_;
  std::array<char, 40> timeText_{'-'};
  std::size_t timeLength_ = 1;
};

}  // namespace marlin::cli
