#pragma once

#include <cstdint>
#include <string>

#include "base/status.h"
#include "export/export_timing.h"

namespace marlin {

// What an export left in one channel's file.
struct ChannelExportResult {
  int channel = 0;  // 0..15
  std::string path;
  std::uint64_t framesWritten = 0;
  StreamRate rate;
  std::uint64_t fileBytes = 0;
  // Why writing this file stopped early; ok when it did not.
  Status failure;

  double seconds() const { return static_cast<double>(framesWritten) * rate.scale / rate.rate; }
};

}  // namespace marlin
