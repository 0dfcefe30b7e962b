#pragma once

#include <cstdint>

namespace marlin {

// Turns one decoded field (planar YCbCr 4:2:0, even width and height) into
// the full picture of 2 x fieldHeight rows of B, G, R, bottom-up and padded
// to 4 bytes as a bitmap's: counted from the top, output line i is field
// line i / 2 when i is even (and for the last line, which has no line below
// to blend with); every other line is the rounded-down average of the field
// lines above and below it. The field is converted straight into its lines.
void fieldToFullHeight(const std::uint8_t* yuvField, int width, int fieldHeight, std::uint8_t* bottomUpPicture);

}  // namespace marlin
