#include "source/byte_order.h"

#include <cstring>

namespace marlin {

void swapBytePairs(std::uint8_t* data, std::size_t n) {
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    std::uint64_t word;
    std::memcpy(&word, data + i, 8);
    word = ((word & 0x00FF00FF00FF00FFull) << 8) | ((word >> 8) & 0x00FF00FF00FF00FFull);
    std::memcpy(data + i, &word, 8);
  }
  for (; i + 2 <= n; i += 2) {
    const std::uint8_t first = data[i];
    data[i] = data[i + 1];
    data[i + 1] = first;
  }
}

}  // namespace marlin
