#include "codec/quantiser.h"

namespace marlin::codec {

const Dequantiser& ScaledQuantiser::forQuality(int quality) {
  if (quality != quality_) {
    for (std::size_t n = 0; n < 64; ++n) {
      const std::uint32_t step = kIntraMatrix[n] * static_cast<std::uint32_t>(quality);
      tables_.steps[n] = step;
      for (std::int32_t level = -Dequantiser::kLargestLevel; level <= Dequantiser::kLargestLevel; ++level) {
        tables_.levels[n * Dequantiser::kLevelSlots + (static_cast<std::uint32_t>(level) & 15)] =
            dequantise(level, step);
      }
    }
    quality_ = quality;
  }
  return tables_;
}

}  // namespace marlin::codec
