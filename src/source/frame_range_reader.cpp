#include "source/frame_range_reader.h"

#include <algorithm>

namespace marlin {

FrameRangeReader::FrameRangeReader(StreamSource& source, std::uint64_t start, std::uint64_t end)
    : source_(source), end_(end) {
  source_.startReadingAt(start);
}

std::uint32_t FrameRangeReader::next(std::uint8_t* buffer) {
  for (;;) {
    const std::uint64_t size = source_.getSize();
    const std::uint64_t end = end_ == 0 ? size : std::min(end_, size);
    const std::uint64_t before = source_.getPosition();
    if (before >= end) {
      return 0;
    }
    if (const std::uint32_t length = source_.readNext(buffer); length != 0) {
      inDamage_ = false;
      return length;
    }
    const std::uint64_t after = source_.getPosition();
    // A read that ends at the recording's end read trailing bytes, not damage.
    if (after <= before || after >= size) {
      return 0;
    }
    if (!inDamage_) {
      ++damagedStretches_;
      inDamage_ = true;
    }
  }
}

}  // namespace marlin
