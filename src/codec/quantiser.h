#pragma once

#include <array>
#include <cstdint>

namespace marlin::codec {

// The default intra quantiser matrix in natural (row-major) order.
extern const std::array<std::uint8_t, 64> kIntraMatrix;
// Zig-zag scan position -> natural index.
extern const std::array<std::uint8_t, 64> kZigzag;

// W[n] x quality, rebuilt only when the quality changes.
class ScaledQuantiser {
 public:
  const std::array<std::uint32_t, 64>& forQuality(int quality);

 private:
  int quality_ = -1;
  std::array<std::uint32_t, 64> table_{};
};

}  // namespace marlin::codec
