#pragma once

#include <cstddef>
#include <cstdint>

namespace marlin {

// The block header's check byte: a CRC-8 (polynomial 0x07) table walked with
// c ^= T[c ^ b] from 0xFF, complemented at the end.
std::uint8_t checksum8(const std::uint8_t* bytes, std::size_t n);

}  // namespace marlin
