#pragma once

#include <cstdint>
#include <vector>

#include "render/bitmap_file.h"
#include "render/canvas.h"

namespace marlin {

// canvas as a 24-bit device-independent bitmap, the form the clipboard
// trades stills in: a 40-byte info header, then bottom-up B, G, R rows
// padded to 4 bytes.
std::vector<std::uint8_t> canvasToDib24(const Canvas& canvas);

}  // namespace marlin
