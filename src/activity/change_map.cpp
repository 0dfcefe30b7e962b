#include "activity/change_map.h"

#include <cstdlib>

namespace marlin::activity {

ChangeMap codedMacroblocks(const codec::PictureScan& scan, int firstColumn, int columns) {
  ChangeMap changes(columns, scan.rows);
  for (int row = 0; row < scan.rows; ++row) {
    for (int column = 0; column < columns; ++column) {
      if (scan.at(row, firstColumn + column).coded) {
        changes.mark(row, column);
      }
    }
  }
  return changes;
}

LumaMeans lumaMeans(const codec::PictureScan& scan, int firstColumn, int columns) {
  LumaMeans means;
  means.reserve(static_cast<std::size_t>(4 * columns * scan.rows));
  for (int row = 0; row < scan.rows; ++row) {
    for (int column = 0; column < columns; ++column) {
      const codec::MacroblockScan& macroblock = scan.at(row, firstColumn + column);
      means.insert(means.end(), macroblock.dc.begin(), macroblock.dc.begin() + 4);
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
    for (int column = 0; column < changes.columns(); ++column) {
      if (!changes.changed(row, column)) {
        continue;
      }
      bool neighbour = false;
      for (int r = row - 1; r <= row + 1 && !neighbour; ++r) {
        for (int c = column - 1; c <= column + 1 && !neighbour; ++c) {
          neighbour = (r != row || c != column) && r >= 0 && c >= 0 && r < changes.rows() && c < changes.columns() &&
                      changes.changed(r, c);
        }
      }
      if (neighbour) {
        ++counted;
        activity.cells.set((row / kCellMacroblocks) * kMaxCellColumns + column / kCellMacroblocks);
      }
    }
  }
  activity.level = static_cast<std::uint16_t>((static_cast<std::uint64_t>(counted) * 65535 + total / 2) / total);
  return activity;
}

}  // namespace marlin::activity
