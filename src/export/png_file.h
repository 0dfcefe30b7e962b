#pragma once

#include <cstdint>
#include <string>

#include "base/status.h"

namespace marlin {

// Writes a picture of top-down R, G, B rows (width x 3 bytes each) as a PNG
// file, compressed by FFmpeg's PNG encoder. Fails with the reason when
// FFmpeg cannot be loaded or the file cannot be written; no partial file is
// left.
Status writePngRgb24(const std::string& path, const std::uint8_t* topDownRgb, int width, int height);

}  // namespace marlin
