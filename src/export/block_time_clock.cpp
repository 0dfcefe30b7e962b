#include "export/block_time_clock.h"

#include <algorithm>

namespace marlin {

void BlockTimeClock::count(std::uint32_t time) {
  if (seconds_.empty() || seconds_.back().time != time) seconds_.push_back({time, 0});
  ++seconds_.back().pictures;
}

PictureMoment BlockTimeClock::next(std::uint32_t time, std::uint32_t origin) {
  if (current_ < seconds_.size() && taken_ == seconds_[current_].pictures) {
    ++current_;
    taken_ = 0;
  }
  std::uint32_t share = 1;
  std::uint32_t place = 0;
  if (current_ < seconds_.size() && seconds_[current_].time == time) {
    share = seconds_[current_].pictures;
    place = taken_++;
  }
  const std::int64_t second = (static_cast<std::int64_t>(time) - origin) * 1000;
  const std::int64_t at = std::max(second + place * 1000 / share, last_ + 1);
  last_ = at;
  return {at, std::max<std::int64_t>(1, 1000 / share)};
}

}  // namespace marlin
