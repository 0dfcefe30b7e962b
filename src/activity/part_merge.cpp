#include "activity/part_merge.h"

#include <algorithm>

namespace marlin::activity {

ChannelMerge::ChannelMerge(ChannelActivity& out)
    : out_(out), conditional_(out.conditional), asideFrom_(out.seconds.size()) {
  // The earlier index's last second may go on in the first part: what it
  // holds is where its record aside starts.
  if (!conditional_ && !out_.seconds.empty()) {
    asideFrom_ = out_.seconds.size() - 1;
    codedAside_.push_back({out_.seconds.back().level, out_.seconds.back().cells});
  }
  if (out_.lastRefreshPosition != kNoPosition) {
    refreshPositions_.push_back(out_.lastRefreshPosition);
  }
  if (conditional_) {
    out_.lastRefreshMeans.clear();
  }
}

void ChannelMerge::add(ChannelPart& part, std::size_t partsLeft) {
  if (part.columns != 0) {
    out_.columns = part.columns;
    out_.rows = part.rows;
  }
  if (part.sawConditional && !conditional_) {
    becomeConditional();
  }
  if (!conditional_ && part.firstRefresh && !out_.lastRefreshMeans.empty()) {
    const PendingRefresh& first = *part.firstRefresh;
    include(part.fromMeans[first.second],
            summarise(movedMeans(first.means, out_.lastRefreshMeans, out_.columns, out_.rows)));
  }
  if (!conditional_ && !part.lastRefreshMeans.empty()) {
    out_.lastRefreshMeans = std::move(part.lastRefreshMeans);
  }
  // Room for as many seconds again in each part to come; at least double,
  // so that parts which keep outgrowing the guess still cost few copies.
  const std::size_t needed = out_.seconds.size() + part.seconds.size();
  if (needed > out_.seconds.capacity()) {
    const std::size_t guess = needed + part.seconds.size() * partsLeft + part.seconds.size() / 8;
    out_.seconds.reserve(std::max(guess, 2 * out_.seconds.capacity()));
  }
  for (std::size_t i = 0; i < part.seconds.size(); ++i) {
    SecondActivity second = part.seconds[i];
    const PictureActivity coded{second.level, second.cells};
    if (!conditional_) {
      second.level = part.fromMeans[i].level;
      second.cells = part.fromMeans[i].cells;
    }
    append(second, coded);
  }
  refreshPositions_.insert(refreshPositions_.end(), part.refreshPositions.begin(), part.refreshPositions.end());
}

// The seconds merged so far take the changes their conditional pictures
// showed; the earlier index's seconds keep theirs (its last one with what
// the new pictures of its second added).
void ChannelMerge::becomeConditional() {
  for (std::size_t i = 0; i < codedAside_.size(); ++i) {
    SecondActivity& second = out_.seconds[asideFrom_ + i];
    second.level = codedAside_[i].level;
    second.cells = codedAside_[i].cells;
  }
  codedAside_ = {};
  conditional_ = true;
  out_.lastRefreshMeans.clear();
}

// A second the previous range (or the earlier index) ended in goes on here.
void ChannelMerge::append(const SecondActivity& second, const PictureActivity& coded) {
  const bool goesOn = !out_.seconds.empty() && out_.seconds.back().time == second.time;
  if (goesOn) {
    SecondActivity& last = out_.seconds.back();
    include(last, second);
    last.pictures = static_cast<std::uint16_t>(std::min<int>(last.pictures + second.pictures, 0xFFFF));
    last.firstPosition = std::min(last.firstPosition, second.firstPosition);
  } else {
    out_.seconds.push_back(second);
  }
  if (conditional_) {
    return;
  }
  if (goesOn) {
    include(codedAside_.back(), coded);
  } else {
    codedAside_.push_back(coded);
  }
}

// Seconds and refresh pictures are both in the order of the recording, so
// one walk pairs them; the earlier index's last refresh picture comes before
// every one read since.
void ChannelMerge::finish() {
  out_.conditional = conditional_;
  auto next = refreshPositions_.begin();
  for (SecondActivity& second : out_.seconds) {
    while (next != refreshPositions_.end() && *next <= second.firstPosition) {
      ++next;
    }
    if (next != refreshPositions_.begin()) {
      second.refreshPosition = *(next - 1);
    }
  }
  if (!refreshPositions_.empty()) {
    out_.lastRefreshPosition = refreshPositions_.back();
  }
}

PartMerge::PartMerge(ActivityIndex& out, std::size_t parts) : out_(out), waiting_(parts) {
  channels_.reserve(kChannels);
  for (ChannelActivity& channel : out_.channels) {
    channels_.emplace_back(channel);
  }
}

void PartMerge::add(std::size_t index, RangePart part) {
  std::unique_lock<std::mutex> hold(lock_);
  waiting_[index] = std::move(part);
  // One worker merges at a time, in order, outside the lock: another that
  // finishes a part meanwhile leaves it here and goes on reading.
  if (merging_) {
    return;
  }
  merging_ = true;
  while (next_ < waiting_.size() && waiting_[next_]) {
    RangePart ready = std::move(*waiting_[next_]);
    waiting_[next_].reset();
    ++next_;
    const std::size_t partsLeft = waiting_.size() - next_;
    hold.unlock();
    merge(ready, partsLeft);
    hold.lock();
  }
  merging_ = false;
}

void PartMerge::merge(RangePart& part, std::size_t partsLeft) {
  if (!failure_) {
    return;
  }
  if (!part.failure) {
    failure_ = part.failure;
    return;
  }
  for (int channel = 0; channel < kChannels; ++channel) {
    channels_[channel].add(part.channels[channel], partsLeft);
  }
  out_.pictures += part.pictures;
  if (part.pictures != 0) {
    out_.lastPictureStart = std::max(out_.lastPictureStart, part.lastPictureStart);
  }
}

Status PartMerge::finish() {
  if (!failure_) {
    return failure_;
  }
  for (ChannelMerge& channel : channels_) {
    channel.finish();
  }
  return Status::ok();
}

}  // namespace marlin::activity
