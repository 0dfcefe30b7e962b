#pragma once

#include <cstdint>
#include <string>

namespace marlin {

// Writes a standard 24-bit uncompressed bitmap file from bottom-up B, G, R
// rows of exactly width x 3 bytes (as ToDib24 makes them). Returns false and
// sets error when the file cannot be written.
bool writeBitmap24(const std::string& path, const std::uint8_t* bottomUpRows, int width, int height,
                   std::string& error);

}  // namespace marlin
