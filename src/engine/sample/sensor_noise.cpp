#include "engine/sample/sensor_noise.h"

#include <algorithm>
#include <cmath>

namespace marlin::sample {

namespace {

// SplitMix64: fast, and the same numbers on every machine.
std::uint64_t nextRandom(std::uint64_t& state) {
  std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

}  // namespace

void SensorNoise::addTo(YuvPicture& picture) {
  if (sigma_ == 0.0) {
    return;
  }
  // Three 21-bit uniform draws from each random number: their sum less 1.5
  // has a standard deviation of 0.5 and stays within 1.5 of 0.
  constexpr double kUnit = 1.0 / (1u << 21);
  constexpr std::uint64_t kMask = (1u << 21) - 1;
  std::uint8_t* luma = picture.y();
  for (std::size_t i = 0; i < static_cast<std::size_t>(picture.width) * picture.height; ++i) {
    const std::uint64_t r = nextRandom(state_);
    const double sum = kUnit * static_cast<double>((r & kMask) + (r >> 21 & kMask) + (r >> 42 & kMask));
    const double noisy = luma[i] + 2.0 * sigma_ * (sum - 1.5);
    luma[i] = static_cast<std::uint8_t>(std::clamp(std::lround(noisy), 0L, 255L));
  }
}

int SensorNoise::changeThreshold() const { return 2 + static_cast<int>(std::ceil(6.0 * sigma_)); }

}  // namespace marlin::sample
