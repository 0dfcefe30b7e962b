#pragma once

#include <cstdint>

namespace marlin {

// Turns one field (bottom-up B, G, R rows of exactly width x 3 bytes, as
// ToDib24 writes them) into the full picture of 2 x fieldHeight rows,
// bottom-up and padded to 4 bytes as a bitmap's: counted from the top,
// output line i is field line i / 2 when i is even (and for the last line,
// which has no line below to blend with); every other line is the rounded-down
// average of the field lines above and below it.
void fieldToFullHeight(const std::uint8_t* bottomUpField, int width, int fieldHeight, std::uint8_t* bottomUpPicture);

}  // namespace marlin
