#pragma once

#include <array>
#include <bitset>

#include "render/geometry.h"

namespace marlin {

inline constexpr int kMaxChannels = 16;

// A set of channels, bit n for channel n.
using ChannelSet = std::bitset<kMaxChannels>;

// Cells per row and column of a split: the smallest d with d x d >= split.
int splitSide(int split);
// Pages needed to show channelCount channels split cells at a time.
int splitPages(int split, int channelCount);

struct SplitLayout {
  std::array<Rect, kMaxChannels> cells{};
  std::array<bool, kMaxChannels> visible{};
};

// Places channel i in cell i mod split of page i / split, row by row. When
// the area does not divide evenly, the first columns and rows take one
// pixel more so the cells tile it exactly. Channels from channelCount on
// get no cell. split must be 1 or more.
SplitLayout layoutSplit(Size area, int split, int page, int channelCount);

// The channels page shows of a split of channelCount channels.
ChannelSet channelsOnPage(int split, int page, int channelCount);

}  // namespace marlin
