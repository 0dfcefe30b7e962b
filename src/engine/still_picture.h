#pragma once

#include <cstdint>
#include <vector>

#include "base/calendar.h"
#include "base/status.h"
#include "source/stream_source.h"

namespace marlin {

// One camera's decoded field (the whole picture, or its half of a dual
// one) in planar 4:2:0, with the block time and the position of its picture.
struct StillField {
  std::vector<std::uint8_t> yuv;
  int width = 0;
  int height = 0;
  CalendarTime time{};
  std::uint64_t position = 0;
};

enum class StillDepth {
  // The camera's first picture at or after the position, decoded from its
  // last refresh picture on, so that nothing of another moment shows.
  Exact,
  // Only the refresh picture that picture builds on: one picture to decode,
  // for previews.
  RefreshOnly,
};

// Decodes a camera's picture near position from source (opened, any read
// position) for the recording's codec variant. Fails with the reason when
// the camera has no picture there, no refresh picture close enough before
// it, or a damaged one.
Status decodeStill(StreamSource& source, int variant, std::uint64_t position, int camera, StillDepth depth,
                   StillField& out);

}  // namespace marlin
