#include "activity/index_builder.h"

#include <algorithm>
#include <chrono>
#include <vector>

#include "activity/range_scanner.h"
#include "platform/block_file.h"
#include "platform/task_pool.h"

namespace marlin::activity {

namespace {

// Merges one camera's parts, in the order of the recording, onto what an
// earlier index of it holds.
class ChannelMerge {
 public:
  ChannelMerge(ChannelActivity& out, bool conditional) : out_(out), conditional_(conditional) {
    if (out_.lastRefreshPosition != kNoPosition) {
      refreshPositions_.push_back(out_.lastRefreshPosition);
    }
    out_.conditional = conditional;
    if (conditional) {
      out_.lastRefreshMeans.clear();
    }
  }

  void add(ChannelPart& part) {
    if (part.columns != 0) {
      out_.columns = part.columns;
      out_.rows = part.rows;
    }
    if (!conditional_ && part.firstRefresh && !out_.lastRefreshMeans.empty()) {
      const PendingRefresh& first = *part.firstRefresh;
      const PictureActivity activity =
          summarise(movedMeans(first.means, out_.lastRefreshMeans, out_.columns, out_.rows));
      PictureActivity& into = part.fromMeans[first.second];
      into.level = std::max(into.level, activity.level);
      into.cells |= activity.cells;
    }
    if (!conditional_ && !part.lastRefreshMeans.empty()) {
      out_.lastRefreshMeans = part.lastRefreshMeans;
    }
    for (std::size_t i = 0; i < part.seconds.size(); ++i) {
      SecondActivity second = part.seconds[i];
      if (!conditional_) {
        second.level = part.fromMeans[i].level;
        second.cells = part.fromMeans[i].cells;
      }
      append(second);
    }
    refreshPositions_.insert(refreshPositions_.end(), part.refreshPositions.begin(), part.refreshPositions.end());
  }

  // Each second's last refresh picture at or before its first picture; the
  // earlier index's last one comes before every one read since.
  void finish() {
    for (SecondActivity& second : out_.seconds) {
      const auto after = std::upper_bound(refreshPositions_.begin(), refreshPositions_.end(), second.firstPosition);
      if (after != refreshPositions_.begin()) {
        second.refreshPosition = *(after - 1);
      }
    }
    if (!refreshPositions_.empty()) {
      out_.lastRefreshPosition = refreshPositions_.back();
    }
  }

 private:
  // A second the previous range (or the earlier index) ended in goes on here.
  void append(const SecondActivity& second) {
    if (!out_.seconds.empty() && out_.seconds.back().time == second.time) {
      SecondActivity& last = out_.seconds.back();
      last.level = std::max(last.level, second.level);
      last.cells |= second.cells;
      last.pictures = static_cast<std::uint16_t>(std::min<int>(last.pictures + second.pictures, 0xFFFF));
      last.firstPosition = std::min(last.firstPosition, second.firstPosition);
      return;
    }
    out_.seconds.push_back(second);
  }

  ChannelActivity& out_;
  bool conditional_;
  std::vector<std::uint64_t> refreshPositions_;
};

ActivityIndex merge(std::vector<RangePart>& parts, const ActivityIndex* earlier) {
  ActivityIndex index = earlier != nullptr ? *earlier : ActivityIndex{};
  for (int channel = 0; channel < kChannels; ++channel) {
    ChannelActivity& out = index.channels[channel];
    bool conditional = out.conditional;
    std::size_t seconds = out.seconds.size();
    for (const RangePart& part : parts) {
      conditional = conditional || part.channels[channel].sawConditional;
      seconds += part.channels[channel].seconds.size();
    }
    out.seconds.reserve(seconds);
    ChannelMerge merging(out, conditional);
    for (RangePart& part : parts) {
      merging.add(part.channels[channel]);
    }
    merging.finish();
  }
  for (const RangePart& part : parts) {
    index.pictures += part.pictures;
    if (part.pictures != 0) {
      index.lastPictureStart = std::max(index.lastPictureStart, part.lastPictureStart);
    }
  }
  return index;
}

}  // namespace

Status buildActivityIndex(const std::string& path, const RecordingReading& reading, const BuildOptions& options,
                          ActivityIndex& index, const ActivityIndex* earlier) {
  std::uint64_t size = 0;
  if (Status sized = querySizeOfPath(path, size); !sized) {
    return sized;
  }
  // An earlier index goes on after its last picture; one of a recording
  // that shrank since is of another recording.
  const bool growing = earlier != nullptr && earlier->indexedBytes <= size && earlier->pictures != 0;
  const std::uint64_t from = growing ? earlier->lastPictureStart + 1 : 0;
  const std::uint64_t rangeBytes = std::max<std::uint64_t>(options.rangeBytes, 1);
  std::vector<RangePart> parts(from >= size ? 0 : (size - from + rangeBytes - 1) / rangeBytes);
  std::atomic<std::uint64_t> done{0};
  const std::atomic<bool> never{false};
  const std::atomic<bool>& stop = options.stop != nullptr ? *options.stop : never;
  const std::uint64_t total = size - std::min(from, size);
  // Nothing is said before the first bytes are read, so that a quick build
  // says only that it ended.
  const auto report = [&](bool last) {
    const std::uint64_t read = std::min(done.load(std::memory_order_relaxed), total);
    if (options.progress && (read != 0 || last)) {
      options.progress(last ? total : read, total);
    }
  };
  {
    TaskPool pool(options.threads);
    for (std::size_t i = 0; i < parts.size(); ++i) {
      const std::uint64_t start = from + i * rangeBytes;
      const std::uint64_t end = std::min(size, start + rangeBytes);
      pool.add([&, i, start, end] { parts[i] = scanRange(path, reading, start, end, done, stop); });
      report(false);
    }
    while (!pool.waitFor(std::chrono::milliseconds(200))) {
      report(false);
    }
  }
  report(!stop.load());
  if (stop.load()) {
    return Status::failure(StatusCode::Cancelled, "indexing stopped");
  }
  for (const RangePart& part : parts) {
    if (!part.failure) {
      return part.failure;
    }
  }
  index = merge(parts, growing ? earlier : nullptr);
  index.indexedBytes = size;
  return Status::ok();
}

}  // namespace marlin::activity
