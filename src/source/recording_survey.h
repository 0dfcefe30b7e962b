#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>

#include "base/calendar.h"
#include "base/codec_ids.h"
#include "base/status.h"

namespace marlin {

// What a recording holds, block by block and frame by frame.
struct RecordingSurvey {
  std::uint64_t size = 0;
  std::uint64_t validBlocks = 0;
  std::uint64_t badBlocks = 0;                  // whole blocks failing their check byte
  std::uint64_t shortBlocks = 0;                // blocks that could not be read in full
  std::optional<std::uint32_t> firstBlockTime;  // raw time stamps of valid blocks
  std::optional<std::uint32_t> lastBlockTime;
  std::set<std::uint16_t> channelMasks;         // of valid blocks
  std::set<std::uint8_t> frameIntervals;        // of valid blocks
  std::array<std::uint64_t, 16> videoFrames{};  // per video channel
  std::array<std::uint64_t, 4> audioFrames{};   // per audio channel
  std::uint32_t largestFrame = 0;
};

// done and total are in bytes of reading; called now and then.
using SurveyProgress = std::function<void(std::uint64_t done, std::uint64_t total)>;

struct SurveyRequest {
  std::string path;
  bool isDisk = false;
  CodecVariant variant = 4;
};

// Fails only when the recording cannot be opened, as StreamSource::open does.
Status surveyRecording(const SurveyRequest& request, const SurveyProgress& progress, RecordingSurvey& survey);

}  // namespace marlin
