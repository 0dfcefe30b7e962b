#pragma once

#include <array>
#include <bitset>
#include <cstdint>
#include <vector>

#include "codec/picture_scan.h"

namespace marlin::activity {

// Activity is kept per cell of 2 x 2 macroblocks (32 x 32 pixels): coarse
// enough to be small, fine enough for a region a user draws.
inline constexpr int kCellMacroblocks = 2;
inline constexpr int kMaxCellColumns = (codec::kMaxMacroblockColumns + 1) / kCellMacroblocks;
inline constexpr int kMaxCellRows = (codec::kMaxMacroblockRows + 1) / kCellMacroblocks;
using CellMask = std::bitset<kMaxCellColumns * kMaxCellRows>;

// A luma block whose DC byte (its mean sample) moved by more than this since
// the channel's previous refresh picture changed: sensor noise moves a mean
// of 64 samples by much less.
inline constexpr int kDcChange = 6;

// The macroblocks of one camera's picture that changed since its previous
// picture. A dual picture carries two cameras side by side: each is a window
// of its columns.
class ChangeMap {
 public:
  ChangeMap(int columns, int rows) : columns_(columns), rows_(rows) {}

  int columns() const { return columns_; }
  int rows() const { return rows_; }
  // Bit c of a row: the macroblock in column c changed.
  std::uint64_t row(int r) const { return changed_[static_cast<std::size_t>(r)]; }
  void setRow(int r, std::uint64_t mask) { changed_[static_cast<std::size_t>(r)] = mask; }
  bool changed(int r, int column) const { return ((row(r) >> column) & 1) != 0; }
  void mark(int r, int column) { changed_[static_cast<std::size_t>(r)] |= std::uint64_t{1} << column; }

 private:
  int columns_;
  int rows_;
  std::array<std::uint64_t, codec::kMaxMacroblockRows> changed_{};
};

// A conditional picture codes what changed: its coded macroblocks in the
// columns [firstColumn, firstColumn + columns).
ChangeMap codedMacroblocks(const codec::PictureScan& scan, int firstColumn, int columns);

// The four luma means (DC bytes) of each macroblock of one camera's refresh
// picture, row by row: a 1/8-scale picture.
using LumaMeans = std::vector<std::uint8_t>;

LumaMeans lumaMeans(const codec::PictureScan& scan, int firstColumn, int columns);

// Refresh pictures code everything: the macroblocks whose luma means moved
// since the same camera's previous refresh picture (of the same size).
ChangeMap movedMeans(const LumaMeans& now, const LumaMeans& before, int columns, int rows);

// What one picture's changes amount to.
struct PictureActivity {
  // Share of the picture's macroblocks that changed, in 1/65535, counting
  // only those with a changed neighbour: sensor noise and the encoder's
  // threshold let single macroblocks through, moving things change several
  // side by side.
  std::uint16_t level = 0;
  CellMask cells;  // the cells holding such macroblocks
};

// Another picture's changes (or a second's, which holds the same level and
// cells) taken in: the busier level, every cell.
template <typename Into, typename From>
void include(Into& into, const From& other) {
  into.level = into.level > other.level ? into.level : other.level;
  into.cells |= other.cells;
}

PictureActivity summarise(const ChangeMap& changes);

}  // namespace marlin::activity
