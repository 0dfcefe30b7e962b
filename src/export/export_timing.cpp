#include "export/export_timing.h"

#include <bit>

#include "export/channel_export_result.h"

namespace marlin {

StreamRate recordedVideoRate(int fieldHeight, CodecVariant codecIndex, std::uint8_t frameInterval,
                             std::uint16_t channelMask) {
  const bool fieldRate = codecIndex != 0 && codecIndex != 2;
  const std::uint32_t base = fieldHeight == 272 ? 25 : 30;
  const auto channels = static_cast<std::uint32_t>(std::popcount(channelMask));
  // A mask without channels still leaves a playable rate.
  const std::uint32_t sharing = channels == 0 ? 1 : channels;
  return {fieldRate ? 2 * base : base, (static_cast<std::uint32_t>(frameInterval) + 1) * sharing};
}

StreamRate soundPacedRate(std::uint64_t videoFrames, std::uint64_t audioBytes, std::uint32_t sampleRate,
                          StreamRate fallback) {
  const std::uint64_t rate = videoFrames * 1000;
  const std::uint64_t scale = sampleRate == 0 ? 0 : audioBytes * 1000 / sampleRate;
  if (rate == 0 || scale == 0 || rate > UINT32_MAX || scale > UINT32_MAX) {
    return fallback;
  }
  return {static_cast<std::uint32_t>(rate), static_cast<std::uint32_t>(scale)};
}

const char* fileTimingName(FileTiming timing) {
  switch (timing) {
    case FileTiming::BlockTime:
      return "block time";
    case FileTiming::SoundPaced:
      return "sound paced";
    case FileTiming::DeclaredRate:
      break;
  }
  return "declared rate";
}

}  // namespace marlin
