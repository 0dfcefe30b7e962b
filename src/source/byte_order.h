#pragma once

#include <cstddef>
#include <cstdint>

namespace marlin {

// Exchanges the two bytes of every 16-bit word: a DVR disk stores the
// container this way. n must be even.
void swapBytePairs(std::uint8_t* data, std::size_t n);

}  // namespace marlin
