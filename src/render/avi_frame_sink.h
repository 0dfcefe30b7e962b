#pragma once

#include <cstdint>

namespace marlin {

// Receives the composed split view as video frames while AVI capture runs.
class AviFrameSink {
 public:
  virtual ~AviFrameSink() = default;
  virtual int frameWidth() const = 0;
  virtual int frameHeight() const = 0;
  // One frame of bottom-up B, G, R rows of exactly frameWidth x 3 bytes.
  // Called with the renderer's lock held: must not call back into it.
  virtual void writeFrame(const std::uint8_t* bottomUpBgr) = 0;
};

}  // namespace marlin
