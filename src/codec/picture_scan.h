#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "codec/picture_header.h"

namespace marlin::codec {

inline constexpr int kMaxMacroblockColumns = 640 / 16;
inline constexpr int kMaxMacroblockRows = 272 / 16;

// What one coded macroblock of a picture holds: some of its luma blocks
// (the chroma ones always follow) with each coded block's DC byte, the
// block's mean sample.
struct MacroblockScan {
  std::uint8_t lumaPattern = 0;      // bit j: luma block j (top left, top right, bottom left, bottom right)
  std::array<std::uint8_t, 6> dc{};  // Y0 Y1 Y2 Y3 Cb Cr; 0 where not coded

  int lumaBlocks() const { return __builtin_popcount(lumaPattern); }
};

// The macroblocks of one picture: which are coded (a conditional picture
// leaves the others as they were), a bit per column in each row's mask, and
// what the coded ones hold. Only the rows' masks are cleared for each
// picture, so a picture that codes little costs little.
struct PictureScan {
  int columns = 0;
  int rows = 0;
  int codedCount = 0;
  std::array<std::uint64_t, kMaxMacroblockRows> codedRows{};
  std::array<MacroblockScan, kMaxMacroblockColumns * kMaxMacroblockRows> macroblocks;

  bool coded(int row, int column) const { return ((codedRows[row] >> column) & 1) != 0; }
  // Only for a coded macroblock.
  const MacroblockScan& at(int row, int column) const { return macroblocks[row * columns + column]; }
};

// Walks the slices the header located as the decoder does, reading the
// macroblock headers and each block's DC byte and stepping over the
// coefficient codes without dequantising or transforming them. Returns
// false where the decoder fails on the same picture; the macroblocks walked
// before stay in out. Quality 0 (which the decoder refuses) fails at once.
bool scanPicture(const std::uint8_t* payload, std::size_t length, const PictureHeader& header, PictureScan& out);

}  // namespace marlin::codec
