// What a picture's changed macroblocks amount to: noise makes single ones,
// a moving thing several side by side.

#include "activity/change_map.h"

#include <gtest/gtest.h>

namespace marlin::activity {
namespace {

TEST(ChangeMap, OnlyMacroblocksWithAChangedNeighbourCount) {
  ChangeMap changes(40, 14);
  // Single changes, one at each edge and corner and some inside.
  for (const auto& [row, column] : {std::pair{0, 0}, {0, 39}, {13, 0}, {13, 39}, {6, 20}, {2, 10}, {10, 30}}) {
    changes.mark(row, column);
  }
  EXPECT_EQ(summarise(changes).level, 0);
  EXPECT_TRUE(summarise(changes).cells.none());

  // Two touching at a corner count; so does a 3 x 3 box across a cell edge.
  changes.mark(7, 21);
  for (int row = 3; row < 6; ++row) {
    for (int column = 35; column < 38; ++column) {
      changes.mark(row, column);
    }
  }
  const PictureActivity activity = summarise(changes);
  EXPECT_EQ(activity.level, (11 * 65535 + 280) / 560);
  CellMask expected;
  for (const auto& [row, column] : {std::pair{6, 20}, {7, 21}, {3, 35}, {3, 36}, {4, 35}, {5, 37}}) {
    expected.set(static_cast<std::size_t>(row / 2 * kMaxCellColumns + column / 2));
  }
  EXPECT_EQ(activity.cells, expected);
}

TEST(ChangeMap, RefreshMeansChangeOnlyBeyondNoise) {
  LumaMeans before(4 * 40 * 14, 100);
  LumaMeans now = before;
  for (std::size_t i = 0; i < now.size(); i += 3) {
    now[i] = static_cast<std::uint8_t>(100 + (i % 2 == 0 ? kDcChange : -kDcChange));
  }
  EXPECT_EQ(movedMeans(now, before, 40, 14).row(0), 0u);
  now[4 * (40 * 2 + 5) + 3] = 180;
  const ChangeMap moved = movedMeans(now, before, 40, 14);
  EXPECT_TRUE(moved.changed(2, 5));
  EXPECT_EQ(moved.row(2), std::uint64_t{1} << 5);
  // Pictures of other sizes are not compared.
  EXPECT_EQ(movedMeans(now, LumaMeans(4 * 40 * 17, 0), 40, 14).row(2), 0u);
}

}  // namespace
}  // namespace marlin::activity
