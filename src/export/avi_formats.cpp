#include "export/avi_formats.h"

namespace marlin {

std::uint32_t dibRowBytes(int width, int bitCount) {
  const auto bits = static_cast<std::uint32_t>(width) * static_cast<std::uint32_t>(bitCount);
  return (bits + 31) / 32 * 4;
}

std::uint32_t dibImageBytes(int width, int height, int bitCount) {
  return dibRowBytes(width, bitCount) * static_cast<std::uint32_t>(height);
}

}  // namespace marlin
