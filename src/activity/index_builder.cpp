#include "activity/index_builder.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <mutex>
#include <vector>

#include "activity/part_merge.h"
#include "activity/range_scanner.h"
#include "platform/block_file.h"
#include "platform/task_pool.h"

namespace marlin::activity {

namespace {

// The workers' scanners: each range takes an idle one (or makes one when
// all are busy, which happens once per worker) and gives it back.
class ScannerShelf {
 public:
  ScannerShelf(const std::string& path, const RecordingReading& reading) : path_(path), reading_(reading) {}

  std::unique_ptr<RangeScanner> take() {
    {
      const std::lock_guard<std::mutex> hold(lock_);
      if (!idle_.empty()) {
        std::unique_ptr<RangeScanner> scanner = std::move(idle_.back());
        idle_.pop_back();
        return scanner;
      }
    }
    return std::make_unique<RangeScanner>(path_, reading_);
  }

  void giveBack(std::unique_ptr<RangeScanner> scanner) {
    const std::lock_guard<std::mutex> hold(lock_);
    idle_.push_back(std::move(scanner));
  }

 private:
  const std::string& path_;
  const RecordingReading& reading_;
  std::mutex lock_;
  std::vector<std::unique_ptr<RangeScanner>> idle_;
};

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
  const std::size_t parts = from >= size ? 0 : (size - from + rangeBytes - 1) / rangeBytes;
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
  ActivityIndex merged = growing ? *earlier : ActivityIndex{};
  PartMerge merging(merged, parts);
  ScannerShelf scanners(path, reading);
  TaskPool pool(options.threads);
  for (std::size_t i = 0; i < parts; ++i) {
    const std::uint64_t start = from + i * rangeBytes;
    const std::uint64_t end = std::min(size, start + rangeBytes);
    pool.add([&, i, start, end] {
      std::unique_ptr<RangeScanner> scanner = scanners.take();
      RangePart part = scanner->scan(start, end, done, stop);
      scanners.giveBack(std::move(scanner));
      merging.add(i, std::move(part));
    });
    report(false);
  }
  while (!pool.waitFor(std::chrono::milliseconds(200))) {
    report(false);
  }
  report(!stop.load());
  if (stop.load()) {
    return Status::failure(StatusCode::Cancelled, "indexing stopped");
  }
  if (Status complete = merging.finish(); !complete) {
    return complete;
  }
  merged.indexedBytes = size;
  index = std::move(merged);
  return Status::ok();
}

}  // namespace marlin::activity
