#include "codec/quantiser.h"

namespace marlin::codec {

const std::array<std::uint8_t, 64> kIntraMatrix = {
    8,  16, 19, 22, 26, 27, 29, 34,  //
    16, 16, 22, 24, 27, 29, 34, 37,  //
    19, 22, 26, 27, 29, 34, 34, 38,  //
    22, 22, 26, 27, 29, 34, 37, 40,  //
    22, 26, 27, 29, 32, 35, 40, 48,  //
    26, 27, 29, 32, 35, 40, 48, 58,  //
    26, 27, 29, 34, 38, 46, 56, 69,  //
    27, 29, 35, 38, 46, 56, 69, 83,
};

const Dequantiser& ScaledQuantiser::forQuality(int quality) {
  if (quality != quality_) {
    for (std::size_t n = 0; n < 64; ++n) {
      const std::uint32_t step = kIntraMatrix[n] * static_cast<std::uint32_t>(quality);
      tables_.steps[n] = step;
      for (std::int32_t level = -kLargestShortLevel; level <= kLargestShortLevel; ++level) {
        tables_.levels[n * Dequantiser::kLevelSlots + (static_cast<std::uint32_t>(level) & 15)] =
            dequantise(level, step);
      }
    }
    quality_ = quality;
  }
  return tables_;
}

}  // namespace marlin::codec
