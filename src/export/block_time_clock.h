#pragma once

#include <cstdint>
#include <vector>

namespace marlin {

// When one channel's picture is shown in a file timed by its blocks.
struct PictureMoment {
  std::int64_t millisecond = 0;  // from the file's origin
  std::int64_t duration = 0;     // its share of its second, in milliseconds
};

// Times a channel's pictures by the second their blocks give: the pictures
// of one second share it evenly in the order read, and a second without
// pictures stays a gap, so a file's clock keeps to the stamped time however
// many pictures the recorder really stored. The survey of the export counts
// the pictures of each second; the writing pass, reading the same pictures
// in the same order, takes their moments.
class BlockTimeClock {
 public:
  // The survey: the next picture of the channel belongs to second `time`.
  void count(std::uint32_t time);

  // The writing pass: the moment of the next picture, of second `time`,
  // counted from second `origin`. Moments only grow: a picture the survey
  // did not see (a recording still growing) starts its second, and a clock
  // set back follows the picture before.
  PictureMoment next(std::uint32_t time, std::uint32_t origin);

 private:
  struct Second {
    std::uint32_t time = 0;
    std::uint32_t pictures = 0;
  };

  std::vector<Second> seconds_;
  std::size_t current_ = 0;
  std::uint32_t taken_ = 0;
  std::int64_t last_ = -1;
};

}  // namespace marlin
