#pragma once

#include <cstdint>
#include <string>

#include "base/status.h"
#include "export/export_timing.h"

namespace marlin {

// How a file's pictures are timed.
enum class FileTiming {
  BlockTime,     // each picture at the time of its block (MP4, Matroska)
  SoundPaced,    // a constant rate that spreads the pictures over the sound's length (AVI with sound)
  DeclaredRate,  // the constant rate the recorder declares (AVI without sound)
};

// How FileTiming is named in summaries and manifests.
const char* fileTimingName(FileTiming timing);

// What an export left in one channel's file.
struct ChannelExportResult {
  int channel = 0;  // 0..15
  std::string path;
  std::uint64_t framesWritten = 0;
  FileTiming timing = FileTiming::DeclaredRate;
  // The constant rate; for block time the pictures a second, about.
  StreamRate rate;
  // For block time: from the first picture's moment to the end of the last one's.
  std::int64_t blockTimedMilliseconds = 0;
  std::uint64_t fileBytes = 0;
  // Why writing this file stopped early; ok when it did not.
  Status failure;

  double seconds() const {
    if (timing == FileTiming::BlockTime) return static_cast<double>(blockTimedMilliseconds) / 1000.0;
    return static_cast<double>(framesWritten) * rate.scale / rate.rate;
  }
};

}  // namespace marlin
