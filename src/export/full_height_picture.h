#pragma once

#include <cstdint>

namespace marlin {

// Turns one decoded field (planar YCbCr 4:2:0, even width and height) into
// the full picture of 2 x fieldHeight rows of B, G, R, bottom-up and padded
// to 4 bytes as a bitmap's, by ToDib24FullHeight's rule on the bottom-up
// rows (every tool that doubles a field makes the same picture); the pad
// bytes are zero.
void fieldToFullHeight(const std::uint8_t* yuvField, int width, int fieldHeight, std::uint8_t* bottomUpPicture);

}  // namespace marlin
