#pragma once

#include <cstdint>

// ITU-T G.711 companded bytes to 16-bit linear samples.
namespace marlin {

std::int16_t alawToLinear(std::uint8_t code);
std::int16_t mulawToLinear(std::uint8_t code);

}  // namespace marlin
