#pragma once

#include <algorithm>
#include <cstdint>

#include "codec/yuv_picture.h"

namespace marlin::sample {

// Noise like a camera sensor's on every luma sample: bell-shaped with the
// standard deviation given (the sum of three uniform draws), but never
// beyond three standard deviations, so that a change threshold can tell it
// from anything that moved. The same sequence every time.
class SensorNoise {
 public:
  explicit SensorNoise(double sigma) : sigma_(std::max(sigma, 0.0)) {}

  void addTo(YuvPicture& picture);

  // The change threshold of conditional pictures: the encoder's usual 2
  // above the widest difference noise alone makes between two pictures of a
  // still scene (under 6 sigma + 1 after rounding). Noise then never codes a
  // macroblock, while anything that moves by at least 128 luma levels, as
  // the box does, is always coded for noise up to 10.
  int changeThreshold() const;

 private:
  double sigma_;
  std::uint64_t state_ = 0x5EED5EED5EED5EEDull;
};

}  // namespace marlin::sample
