#pragma once

#include <cstdint>

namespace marlin {

// Watches an export's pictures as they are written, at most one every 40 ms,
// on the export's thread.
class ExportPreview {
 public:
  virtual ~ExportPreview() = default;
  // picture: bottom-up B, G, R rows padded to 4 bytes, time stamp included;
  // valid during the call only. channel: 0..15.
  virtual void showExportedPicture(int channel, const std::uint8_t* picture, int width, int height) = 0;
};

}  // namespace marlin
