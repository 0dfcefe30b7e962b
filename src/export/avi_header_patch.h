#pragma once

#include <cstdint>
#include <string>

#include "base/status.h"

namespace marlin {

// Rewrites the image size in the bitmap header of a finished AVI file's
// first video stream. FFmpeg's muxer declares width x height x 3 bytes,
// which is short of the padded rows that 24-bit bitmaps of widths that are
// not a multiple of 4 carry, and readers that size their frame buffers by
// the header would cut the frames.
Status setVideoImageSize(const std::string& path, std::uint32_t imageSize);

}  // namespace marlin
