#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "render/avi_frame_sink.h"
#include "render/canvas.h"
#include "render/text_painter.h"

namespace marlin::rendertest {

// A 4:2:0 picture of one colour.
inline std::vector<std::uint8_t> flatPicture(int width, int height, std::uint8_t y, std::uint8_t cb, std::uint8_t cr) {
  const std::size_t luma = static_cast<std::size_t>(width) * height;
  std::vector<std::uint8_t> picture(luma * 3 / 2, y);
  std::fill(picture.begin() + luma, picture.begin() + luma * 5 / 4, cb);
  std::fill(picture.begin() + luma * 5 / 4, picture.end(), cr);
  return picture;
}

// A picture whose every row and column differ, so scaling errors show.
inline std::vector<std::uint8_t> gradientPicture(int width, int height) {
  std::vector<std::uint8_t> picture(static_cast<std::size_t>(width) * height * 3 / 2);
  for (std::size_t i = 0; i < picture.size(); ++i) {
    picture[i] = static_cast<std::uint8_t>(i * 7 + i / width * 13);
  }
  return picture;
}

// The colour at (x, y) of an Rgb32 canvas.
inline std::uint32_t colourAt(const Canvas& canvas, int x, int y) {
  const std::uint8_t* px = canvas.row(y) + 4 * x;
  return rgbColour(px[2], px[1], px[0]);
}

struct Drawn {
  Rect box;  // where the measured box lies on the canvas
  int changed = 0;
  int outside = 0;
  int white = 0;
  int between = 0;
  int coloured = 0;
};

// White text over black at (24, 20), every pixel sorted.
inline Drawn drawWhiteOnBlack(TextPainter& painter, const std::string& text, const FontSpec& font) {
  Canvas canvas;
  canvas.reset(640, 160, SurfaceFormat::Rgb32);
  const TextExtent extent = painter.measureText(text, font);
  Drawn drawn{{24, 20, 24 + extent.width, 20 + extent.height}};
  painter.drawText(canvas, 24, 20, text, rgbColour(255, 255, 255), font);
  for (int y = 0; y < canvas.height(); ++y) {
    for (int x = 0; x < canvas.width(); ++x) {
      const std::uint32_t colour = colourAt(canvas, x, y);
      if (colour == 0) {
        continue;
      }
      ++drawn.changed;
      drawn.outside += !drawn.box.contains({x, y});
      drawn.white += colour == 0xFFFFFF;
      const auto grey = static_cast<std::uint8_t>(colour & 0xFF);
      drawn.coloured += colour != rgbColour(grey, grey, grey);
      drawn.between += colour != 0xFFFFFF;
    }
  }
  return drawn;
}

struct DrawnText {
  std::string text;
  int x;
  int y;
  std::uint32_t colour;
};

// Remembers the texts it is asked to draw and draws nothing.
class RecordingPainter final : public TextPainter {
 public:
  void drawText(Canvas&, int x, int y, std::string_view text, std::uint32_t colour, const FontSpec&) override {
    drawn.push_back({std::string(text), x, y, colour});
  }
  TextExtent measureText(std::string_view text, const FontSpec& font) override {
    return {static_cast<int>(text.size()) * font.height / 2, font.height};
  }
  std::vector<DrawnText> drawn;
};

class RecordingFrameSink final : public AviFrameSink {
 public:
  RecordingFrameSink(int width, int height) : width_(width), height_(height) {}
  int frameWidth() const override { return width_; }
  int frameHeight() const override { return height_; }
  void writeFrame(const std::uint8_t* bottomUpBgr) override {
    frames.emplace_back(bottomUpBgr, bottomUpBgr + static_cast<std::size_t>(width_) * height_ * 3);
  }
  // The colour at top-down (x, y) of a kept frame.
  std::uint32_t colourAt(std::size_t frame, int x, int y) const {
    const std::uint8_t* px = frames[frame].data() + (static_cast<std::size_t>(height_ - 1 - y) * width_ + x) * 3;
    return rgbColour(px[2], px[1], px[0]);
  }
  std::vector<std::vector<std::uint8_t>> frames;

 private:
  int width_;
  int height_;
};

}  // namespace marlin::rendertest
