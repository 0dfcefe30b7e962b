#include "app/desktop/window_layout.h"

#include "app/desktop/command_ids.h"

namespace marlin::desktop {

namespace {

constexpr int kPlayer = 1;
constexpr int kClient = 2;
constexpr int kBoth = 3;

// Sizes of the controls; the table gives only their top-left corners.
ControlRect sizeOf(int id) {
  switch (id) {
    case kSkinIcon:
      return {0, 0, 16, 16};
    case kTitleLabel:
      return {0, 0, 136, 20};
    case kMinimise:
    case kCloseButton:
      return {0, 0, 22, 21};
    case kPlayerMode:
    case kClientMode:
      return {0, 0, 78, 21};
    case kSaveAvi:
      return {0, 0, 92, 21};
    case kVolumeSlider:
      return {0, 0, 66, 16};
    case kPreviousEvent:
    case kEventList:
    case kNextEvent:
      return {0, 0, 24, 21};
    default:
      return {0, 0, kPictureButtonSize, kPictureButtonSize};
  }
}

}  // namespace

const std::vector<LayoutRow>& layoutTable() {
  static const std::vector<LayoutRow> table = {
      {kSkinIcon, Anchor::Fixed, 5, 5, kBoth},
      {kTitleLabel, Anchor::Fixed, 22, 4, kBoth},
      {kMinimise, Anchor::Right, 560, 2, kBoth},
      {kCloseButton, Anchor::Right, 582, 2, kBoth},
      {kPlayerMode, Anchor::Fixed, 160, 2, kBoth},
      {kClientMode, Anchor::Fixed, 240, 2, kBoth},
      {kStatusStrip, Anchor::Stretched, 10, 238, kBoth},
      {kPositionSlider, Anchor::Stretched, 10, 238, kPlayer},
      {kHeatStrip, Anchor::Stretched, 10, 228, kPlayer},
      {kPreviousEvent, Anchor::BottomRight, 511, 206, kPlayer},
      {kEventList, Anchor::BottomRight, 537, 206, kPlayer},
      {kNextEvent, Anchor::BottomRight, 563, 206, kPlayer},
      {kOpenFile, Anchor::Bottom, 10, 262, kPlayer},
      {kFastRewind, Anchor::Bottom, 49, 262, kPlayer},
      {kPlayReverse, Anchor::Bottom, 80, 262, kPlayer},
      {kPreviousFrame, Anchor::Bottom, 111, 262, kPlayer},
      {kPause, Anchor::Bottom, 142, 262, kPlayer},
      {kNextFrame, Anchor::Bottom, 173, 262, kPlayer},
      {kPlay, Anchor::Bottom, 204, 262, kPlayer},
      {kFastForward, Anchor::Bottom, 235, 262, kPlayer},
      {kStillCapture, Anchor::Bottom, 274, 262, kPlayer},
      {kSaveAvi, Anchor::Fixed, 360, 2, kBoth},
      {kSplit1, Anchor::Bottom, 336, 262, kPlayer},
      {kSplit4, Anchor::Bottom, 367, 262, kPlayer},
      {kSplit9, Anchor::Bottom, 398, 262, kPlayer},
      {kSplit16, Anchor::Bottom, 429, 262, kPlayer},
      {kMute, Anchor::BottomRight, 500, 262, kBoth},
      {kVolumeSlider, Anchor::BottomRight, 532, 269, kBoth},
      {kConnect, Anchor::Bottom, 10, 262, kClient},
      {kDvrPause, Anchor::Bottom, 49, 262, kClient},
      {kDvrRewind, Anchor::Bottom, 80, 262, kClient},
      {kDvrPlay, Anchor::Bottom, 111, 262, kClient},
      {kDvrFastForward, Anchor::Bottom, 142, 262, kClient},
      {kDvrStop, Anchor::Bottom, 173, 262, kClient},
      {kDvrRecord, Anchor::Bottom, 204, 262, kClient},
      {kDvrChannel1, Anchor::Bottom, 243, 262, kClient},
      {kDvrChannel2, Anchor::Bottom, 274, 262, kClient},
      {kDvrChannel3, Anchor::Bottom, 305, 262, kClient},
      {kDvrChannel4, Anchor::Bottom, 336, 262, kClient},
      {kDvrSplit, Anchor::Bottom, 367, 262, kClient},
      {kDvrMenu, Anchor::Bottom, 406, 262, kClient},
      {kDvrUp, Anchor::Bottom, 437, 262, kClient},
      {kDvrDown, Anchor::Bottom, 468, 262, kClient},
      {kDvrSelect, Anchor::Bottom, 499, 262, kClient},
  };
  return table;
}

std::vector<PlacedControl> layoutControls(int width, int height, EngineMode mode, int splitLimit) {
  const int dx = width - kReferenceWidth;
  const int dy = height - kReferenceHeight;
  std::vector<PlacedControl> placed;
  placed.reserve(layoutTable().size());
  for (const LayoutRow& row : layoutTable()) {
    ControlRect rect = sizeOf(row.id);
    bool visible = (row.modes & (mode == EngineMode::Player ? kPlayer : kClient)) != 0;
    switch (row.anchor) {
      case Anchor::Fixed:
        rect.x = row.x;
        rect.y = row.y;
        break;
      case Anchor::Right:
        rect.x = row.x + dx;
        rect.y = row.y;
        break;
      case Anchor::Bottom:
        rect.x = row.x;
        rect.y = row.y + dy;
        break;
      case Anchor::BottomRight:
        rect.x = row.x + dx;
        rect.y = row.y + dy;
        // The right-hand pair would cover the button row of a narrow window.
        visible = visible && width > (mode == EngineMode::Client ? 635 : 517);
        break;
      case Anchor::Stretched:
        if (row.id == kStatusStrip) {
          rect = {13, height - 92, width - 116, 17};
        } else if (row.id == kHeatStrip) {
          rect = {13, height - 72, width - 26, 18};
        } else {
          rect = {13, height - 52, width - 26, 14};
        }
        break;
    }
    if (row.id == kSplit9) {
      visible = visible && splitLimit >= 9;
    } else if (row.id == kSplit16) {
      visible = visible && splitLimit >= 16;
    }
    placed.push_back({row.id, rect, visible});
  }
  return placed;
}

ControlRect videoArea(int width, int height) { return {2, 25, width - 5, height - 120}; }

ControlRect windowForVideo(int videoWidth, int videoHeight) { return {0, 0, videoWidth + 5, videoHeight + 120}; }

}  // namespace marlin::desktop
