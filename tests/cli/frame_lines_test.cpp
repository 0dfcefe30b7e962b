// The frames listing is put together by hand for speed; it must read exactly
// as the plain formatted print it replaced, across the writes of its buffer.
#include "app/cli/frame_lines.h"

#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <limits>
#include <memory>
#include <optional>
#include <random>
#include <string>

namespace marlin::cli {
namespace {

std::string printedLine(std::uint64_t index, const FrameHeader& header, std::uint64_t position,
                        const std::optional<CalendarTime>& time) {
  char line[256];
  std::snprintf(line, sizeof line, "%" PRIu64 " %s %u %u %" PRIu64 " %s\n", index, header.isAudio ? "audio" : "video",
                header.channel, header.length, position, time ? formatCalendarTime(*time).c_str() : "-");
  return line;
}

std::string contents(std::FILE* file) {
  std::rewind(file);
  std::string text;
  char chunk[4096];
  while (const std::size_t n = std::fread(chunk, 1, sizeof chunk, file)) {
    text.append(chunk, n);
  }
  return text;
}

struct CloseFile {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

TEST(FrameLines, ReadLikeAFormattedPrintOverManyBufferWrites) {
  const std::unique_ptr<std::FILE, CloseFile> file(std::tmpfile());
  ASSERT_NE(file, nullptr);
  std::mt19937_64 random(7);
  std::string expected;
  {
    FrameLines lines(file.get());
    CalendarTime time{2010, 1, 5, 1, 0, 0, 0, 0};
    std::optional<CalendarTime> known;
    constexpr std::uint64_t kLargest = std::numeric_limits<std::uint64_t>::max();
    // Enough lines to fill the buffer many times over; the time changes now
    // and then, and is unknown for a while, as after a run of bad blocks.
    for (std::uint64_t index = 0; index < 20000; ++index) {
      FrameHeader header;
      header.isAudio = random() % 3 == 0;
      header.channel = static_cast<std::uint32_t>(random() % 16);
      header.length =
          index % 997 == 0 ? std::numeric_limits<std::uint32_t>::max() : static_cast<std::uint32_t>(random() % 131073);
      const std::uint64_t position = index % 1009 == 0 ? kLargest : random() >> (random() % 64);
      if (random() % 50 == 0) {
        time.second = static_cast<std::uint16_t>((time.second + 1) % 60);
        known = index % 7 == 0 ? std::nullopt : std::optional<CalendarTime>(time);
      }
      const std::uint64_t shownIndex = index == 19999 ? kLargest : index;
      lines.add(shownIndex, header, position, known);
      expected += printedLine(shownIndex, header, position, known);
    }
  }
  EXPECT_EQ(contents(file.get()), expected);
}

TEST(FrameLines, FlushWritesWhatIsCollectedSoFar) {
  const std::unique_ptr<std::FILE, CloseFile> file(std::tmpfile());
  ASSERT_NE(file, nullptr);
  FrameLines lines(file.get());
  FrameHeader header;
  header.length = 12;
  lines.add(0, header, 4096, CalendarTime{2021, 3, 0, 14, 9, 8, 7, 0});
  EXPECT_EQ(std::ftell(file.get()), 0);
  lines.flush();
  EXPECT_EQ(contents(file.get()), "0 video 0 12 4096 2021-03-14 09:08:07\n");
}

}  // namespace
}  // namespace marlin::cli
