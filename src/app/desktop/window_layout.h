#pragma once

#include <vector>

#include "engine/engine_types.h"

namespace marlin::desktop {

struct ControlRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  friend bool operator==(const ControlRect&, const ControlRect&) = default;
};

struct PlacedControl {
  int id = 0;
  ControlRect rect;
  bool visible = false;
};

// The window's controls are placed by a fixed table drawn for a 608 x 300
// window and anchored to the edges they belong to, so the button rows stay
// at the bottom and the window buttons at the top right at any size.
inline constexpr int kReferenceWidth = 608;
inline constexpr int kReferenceHeight = 300;
inline constexpr int kMinimumWidth = 578;
inline constexpr int kMinimumHeight = 486;
inline constexpr int kPictureButtonSize = 30;
// The video size the window is laid out for when it starts and changes mode.
inline constexpr int kStartVideoWidth = 720;
inline constexpr int kStartVideoHeight = 480;

enum class Anchor { Fixed = 0, Right = 2, Bottom = 3, Stretched = 4, BottomRight = 5 };

struct LayoutRow {
  int id;
  Anchor anchor;
  int x;
  int y;
  int modes;  // 1 Player, 2 Client, 3 both
};

const std::vector<LayoutRow>& layoutTable();

// Every control of the table placed for a window of width x height in mode.
// splitLimit (4, 9 or 16) shows the Split 9 and
// Split 16 buttons of recordings that have that many channels.
std::vector<PlacedControl> layoutControls(int width, int height, EngineMode mode, int splitLimit);

// The video area inside a window of that size.
ControlRect videoArea(int width, int height);
// The window that gives a video area of width x height.
ControlRect windowForVideo(int videoWidth, int videoHeight);

}  // namespace marlin::desktop
