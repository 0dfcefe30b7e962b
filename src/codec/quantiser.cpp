#include "codec/quantiser.h"

namespace marlin::codec {

const std::array<std::uint32_t, 64>& ScaledQuantiser::forQuality(int quality) {
  if (quality != quality_) {
    for (std::size_t n = 0; n < 64; ++n) {
      table_[n] = kIntraMatrix[n] * static_cast<std::uint32_t>(quality);
    }
    quality_ = quality;
  }
  return table_;
}

}  // namespace marlin::codec
