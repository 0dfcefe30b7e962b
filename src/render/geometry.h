#pragma once

namespace marlin {

struct Point {
  int x = 0;
  int y = 0;
};

struct Size {
  int width = 0;
  int height = 0;

  bool empty() const { return width <= 0 || height <= 0; }
  friend bool operator==(const Size&, const Size&) = default;
};

// Left and top inside, right and bottom outside, as window rectangles are.
struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;

  int width() const { return right - left; }
  int height() const { return bottom - top; }
  bool contains(Point p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
  friend bool operator==(const Rect&, const Rect&) = default;
};

}  // namespace marlin
