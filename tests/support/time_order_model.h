#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "source/container.h"
#include "source/time_search.h"

namespace marlin::testing {

// What a search by time should find, worked out by walking the blocks in time order: a disk that has wrapped holds
// its oldest block at drop, and the blocks before it follow the last one. Shared by the time search's tests and its
// fuzz target.
struct TimeOrderModel {
  std::vector<std::optional<std::uint32_t>> times;  // per block; nothing for blocks a search must pass over
  std::size_t drop = 0;

  TimeSearchResult lookUp(std::uint32_t time) const {
    std::optional<std::size_t> newest;
    for (std::size_t n = 0; n < times.size(); ++n) {
      const std::size_t index = (drop + n) % times.size();
      if (!times[index]) {
        continue;
      }
      if (*times[index] >= time) {
        const TimeMatch match = newest ? TimeMatch::AtOrAfter : TimeMatch::BeforeOldest;
        return {*times[index] == time ? TimeMatch::AtOrAfter : match, index * container::kBlockSize, *times[index], 0};
      }
      newest = index;
    }
    if (!newest) {
      return {};
    }
    return {TimeMatch::AfterNewest, (*newest + 1) * container::kBlockSize, *times[*newest], 0};
  }
};

}  // namespace marlin::testing
