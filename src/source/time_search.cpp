#include "source/time_search.h"

#include <algorithm>
#include <optional>
#include <tuple>
#include <utility>

#include "source/container.h"

namespace marlin {

namespace {

struct Probe {
  std::uint64_t index = 0;
  std::uint32_t time = 0;
};

// One lookup: every block read goes through here to be counted.
class Bisection {
 public:
  explicit Bisection(BlockTimes& blocks) : blocks_(blocks), count_(blocks.blockCount()) {}

  std::uint32_t reads() const { return reads_; }

  std::optional<Probe> firstValid() {
    for (std::uint64_t index = 0; index < count_; ++index) {
      if (const auto time = read(index)) {
        return Probe{index, *time};
      }
    }
    return std::nullopt;
  }

  // The last valid block: among the last few blocks, or else where the written area ends, found by bisection
  // between the first valid block and the run of invalid blocks at the end.
  Probe lastValid(Probe first) {
    const std::uint64_t edge = std::max(first.index + 1, count_ - std::min(count_, kUnwrittenReach));
    for (std::uint64_t index = count_; index-- > edge;) {
      if (const auto time = read(index)) {
        return Probe{index, *time};
      }
    }
    Probe written = first;
    std::uint64_t unwritten = edge;
    while (unwritten - written.index > 1) {
      const std::uint64_t mid = written.index + (unwritten - written.index) / 2;
      if (const auto found = firstValidIn(mid, std::min(mid + kUnwrittenReach, unwritten))) {
        written = *found;
      } else {
        unwritten = mid;
      }
    }
    return written;
  }

  // Whether the recording has wrapped around: if so, the newest block (the last of the run from block 0) and the
  // oldest (the first of the run to the end). A recorder writes on across the wrap, so the first and the last block
  // may share their second; then the blocks between tell.
  std::optional<std::pair<Probe, Probe>> findWrap(Probe first, Probe last) {
    if (first.time != last.time) {
      return first.time > last.time ? std::optional(findDrop(first, last)) : std::nullopt;
    }
    const auto middle = probeBetween(first, last, [](std::uint32_t) { return true; });
    if (!middle || middle->time == first.time) {
      return std::nullopt;
    }
    return middle->time < first.time ? findDrop(first, *middle) : findDrop(*middle, last);
  }

  // Between a block of the newer run and a later one of the older, whose time is below it, the last block of the
  // newer run and the first of the older. A time within neither run's bounds is no block of either.
  std::pair<Probe, Probe> findDrop(Probe newer, Probe older) {
    while (const auto probe =
               probeBetween(newer, older, [&](std::uint32_t t) { return t >= newer.time || t <= older.time; })) {
      (probe->time >= newer.time ? newer : older) = *probe;
    }
    return {newer, older};
  }

  // The first block of the rising run from begin to end whose time is at or after time (at most end's).
  Probe lowerBound(Probe begin, Probe end, std::uint32_t time) {
    if (time <= begin.time) {
      return begin;
    }
    Probe before = begin;
    Probe atOrAfter = end;
    while (const auto probe = probeBetween(before, atOrAfter,
                                           [&](std::uint32_t t) { return t >= before.time && t <= atOrAfter.time; })) {
      (probe->time >= time ? atOrAfter : before) = *probe;
    }
    return atOrAfter;
  }

 private:
  std::optional<std::uint32_t> read(std::uint64_t index) {
    ++reads_;
    return blocks_.timeOf(index);
  }

  std::optional<Probe> firstValidIn(std::uint64_t from, std::uint64_t to) {
    for (std::uint64_t index = from; index < to; ++index) {
      if (const auto time = read(index)) {
        return Probe{index, *time};
      }
    }
    return std::nullopt;
  }

  // The valid block nearest the middle strictly between low and high whose time is plausible there, stepping
  // outward one block at a time; nothing when every block between them is invalid.
  template <typename Plausible>
  std::optional<Probe> probeBetween(Probe low, Probe high, const Plausible& plausible) {
    if (high.index - low.index < 2) {
      return std::nullopt;
    }
    const std::uint64_t mid = low.index + (high.index - low.index) / 2;
    const std::uint64_t reachAbove = high.index - mid;
    const std::uint64_t reachBelow = mid - low.index;
    for (std::uint64_t step = 0; step < std::max(reachAbove, reachBelow); ++step) {
      if (step < reachAbove) {
        if (const auto time = read(mid + step); time && plausible(*time)) {
          return Probe{mid + step, *time};
        }
      }
      if (step > 0 && step < reachBelow) {
        if (const auto time = read(mid - step); time && plausible(*time)) {
          return Probe{mid - step, *time};
        }
      }
    }
    return std::nullopt;
  }

  BlockTimes& blocks_;
  std::uint64_t count_;
  std::uint32_t reads_ = 0;
};

TimeSearchResult resultAt(TimeMatch match, Probe block) {
  TimeSearchResult result;
  result.match = match;
  result.position = block.index * container::kBlockSize;
  result.blockTime = block.time;
  return result;
}

TimeSearchResult search(Bisection& bisection, std::uint32_t time) {
  const auto first = bisection.firstValid();
  if (!first) {
    return TimeSearchResult{};
  }
  const Probe last = bisection.lastValid(*first);
  Probe oldest = *first;
  Probe newest = last;
  if (const auto wrap = bisection.findWrap(*first, last)) {
    std::tie(newest, oldest) = *wrap;
  }
  if (time < oldest.time) {
    return resultAt(TimeMatch::BeforeOldest, oldest);
  }
  if (time > newest.time) {
    TimeSearchResult result = resultAt(TimeMatch::AfterNewest, newest);
    result.position += container::kBlockSize;
    return result;
  }
  // Unwrapped, both runs are the one from first to last.
  const bool inOlderRun = time <= last.time;
  return resultAt(TimeMatch::AtOrAfter,
                  inOlderRun ? bisection.lowerBound(oldest, last, time) : bisection.lowerBound(*first, newest, time));
}

}  // namespace

TimeSearchResult searchBlockTimes(BlockTimes& blocks, std::uint32_t time) {
  Bisection bisection(blocks);
  TimeSearchResult result = search(bisection, time);
  result.blockReads = bisection.reads();
  return result;
}

Status findBlockAtTime(const BlockFile& file, BlockLayout layout, std::uint32_t time, TimeSearchResult& result) {
  std::uint64_t size = 0;
  if (Status sized = file.querySize(size); !sized) {
    return sized;
  }
  RecordingBlockTimes blocks(file, size, layout);
  result = searchBlockTimes(blocks, time);
  return Status::ok();
}

}  // namespace marlin
