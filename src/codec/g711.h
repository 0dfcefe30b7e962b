#pragma once

#include <cstdint>

// ITU-T G.711 companded bytes to and from 16-bit linear samples.
namespace marlin {

std::int16_t alawToLinear(std::uint8_t code);
std::int16_t mulawToLinear(std::uint8_t code);

// 16-bit linear sample to the A-law byte of the step that holds it, as a
// recorder compands its sound.
std::uint8_t linearToAlaw(std::int16_t sample);

}  // namespace marlin
