#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "base/status.h"

namespace marlin {

// 24-bit device-independent bitmaps, the form stills are traded in on the
// clipboard and written to bitmap files: a 40-byte info header, then
// bottom-up B, G, R rows padded to 4 bytes.
inline constexpr std::size_t kDibInfoHeaderBytes = 40;

std::size_t dib24RowStride(int width);
// The header filled in and every row zero.
std::vector<std::uint8_t> makeDib24(int width, int height);

// Bytes from the start of a device-independent bitmap to its pixel bits,
// worked out from its 40-byte info header: the colour table and the
// bit-field masks that follow the header are counted in.
std::uint32_t dibBitsOffset(const std::uint8_t* infoHeader);

// Writes dib as a bitmap file: the 14-byte file header, then dib
// unchanged. Parent folders are not created.
Status writeDibFile(const std::string& path, std::span<const std::uint8_t> dib);

// Writes a standard 24-bit uncompressed bitmap file from bottom-up B, G, R
// rows of exactly width x 3 bytes (as ToDib24 makes them).
Status writeBitmap24(const std::string& path, const std::uint8_t* bottomUpRows, int width, int height);

}  // namespace marlin
