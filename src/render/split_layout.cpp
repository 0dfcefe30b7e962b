#include "render/split_layout.h"

#include <algorithm>

namespace marlin {

int splitSide(int split) {
  int d = 1;
  while (d * d < split) {
    ++d;
  }
  return d;
}

int splitPages(int split, int channelCount) { return (channelCount + split - 1) / split; }

SplitLayout layoutSplit(Size area, int split, int page, int channelCount) {
  const int d = splitSide(split);
  const int cellW = area.width / d;
  const int cellH = area.height / d;
  const int extraW = area.width % d;
  const int extraH = area.height % d;
  SplitLayout layout;
  for (int i = 0; i < std::min(channelCount, kMaxChannels); ++i) {
    const int k = i % split;
    const int row = k / d;
    const int column = k % d;
    Rect& cell = layout.cells[i];
    cell.left = cellW * column + std::min(extraW, column);
    cell.right = cell.left + cellW + (column < extraW ? 1 : 0);
    cell.top = cellH * row + std::min(extraH, row);
    cell.bottom = cell.top + cellH + (row < extraH ? 1 : 0);
    layout.visible[i] = i / split == page;
  }
  return layout;
}

ChannelSet channelsOnPage(int split, int page, int channelCount) {
  ChannelSet channels;
  for (int i = 0; i < std::min(channelCount, kMaxChannels); ++i) {
    channels[static_cast<std::size_t>(i)] = i / split == page;
  }
  return channels;
}

}  // namespace marlin
