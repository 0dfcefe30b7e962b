#include "activity/change_map.h"

#include <cstdlib>

namespace marlin::activity {

ChangeMap codedMacroblocks(const codec::PictureScan& scan, int firstColumn, int columns) {
  ChangeMap changes(columns, scan.rows);
  const std::uint64_t window = columns >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << columns) - 1;
  for (int row = 0; row < scan.rows; ++row) {
    changes.setRow(row, (scan.codedRows[static_cast<std::size_t>(row)] >> firstColumn) & window);
  }
  return changes;
}

LumaMeans lumaMeans(const codec::PictureScan& scan, int firstColumn, int columns) {
  LumaMeans means;
  means.reserve(static_cast<std::size_t>(4 * columns * scan.rows));
  for (int row = 0; row < scan.rows; ++row) {
    for (int column = 0; column < columns; ++column) {
      // A refresh picture codes every macroblock; one that did not scan
      // whole leaves zeros.
      if (scan.coded(row, firstColumn + column)) {
        const codec::MacroblockScan& macroblock = scan.at(row, firstColumn + column);
        means.insert(means.end(), macroblock.dc.begin(), macroblock.dc.begin() + 4);
      } else {
        means.insert(means.end(), 4, 0);
      }
    }
  }
  return means;
}

ChangeMap movedMeans(const LumaMeans& now, const LumaMeans& before, int columns, int rows) {
  ChangeMap changes(columns, rows);
  const auto size = static_cast<std::size_t>(4 * columns * rows);
  if (now.size() != size || before.size() != size) {
    return changes;
  }
  for (int row = 0; row < rows; ++row) {
    for (int column = 0; column < columns; ++column) {
      const std::size_t at = static_cast<std::size_t>(4 * (row * columns + column));
      for (std::size_t block = at; block < at + 4; ++block) {
        if (std::abs(now[block] - before[block]) > kDcChange) {
          changes.mark(row, column);
          break;
        }
      }
    }
  }
  return changes;
}

PictureActivity summarise(const ChangeMap& changes) {
  PictureActivity activity;
  const int total = changes.columns() * changes.rows();
  if (total == 0) {
    return activity;
  }
  int counted = 0;
  for (int row = 0; row < changes.rows(); ++row) {
    const std::uint64_t here = changes.row(row);
    if (here == 0) {
      continue;
    }
    const std::uint64_t above = row > 0 ? changes.row(row - 1) : 0;
    const std::uint64_t below = row + 1 < changes.rows() ? changes.row(row + 1) : 0;
    const std::uint64_t around = above | below | here;
    // A changed macroblock counts when one of its eight neighbours changed.
    std::uint64_t counting = here & (above | below | around << 1 | around >> 1);
    counted += __builtin_popcountll(counting);
    while (counting != 0) {
      const int column = __builtin_ctzll(counting);
      counting &= counting - 1;
      activity.cells.set(
          static_cast<std::size_t>((row / kCellMacroblocks) * kMaxCellColumns + column / kCellMacroblocks));
    }
  }
  activity.level = static_cast<std::uint16_t>((static_cast<std::uint64_t>(counted) * 65535 + total / 2) / total);
  return activity;
}

}  // namespace marlin::activity
