#pragma once

#include <cstdint>

#include "source/stream_source.h"

namespace marlin {

// Reads a recording's frames forward over [start, end) of its bytes, past
// damage: a damaged block delivers no frame but moves the position on, and
// reading goes on for as long as the position moves, however long the
// damaged stretch, so that nothing after it is lost. Each run of reads that
// delivered nothing between two frames counts as one damaged stretch.
class FrameRangeReader {
 public:
  // end 0: up to the recording's end.
  FrameRangeReader(StreamSource& source, std::uint64_t start, std::uint64_t end);

  // The next frame's bytes in buffer (kFrameBufferSize bytes) and its length;
  // 0 once the position reached the end of the range or stopped moving.
  std::uint32_t next(std::uint8_t* buffer);
  std::uint64_t damagedStretches() const { return damagedStretches_; }

 private:
  StreamSource& source_;
  std::uint64_t end_;
  std::uint64_t damagedStretches_ = 0;
  bool inDamage_ = false;
};

}  // namespace marlin
