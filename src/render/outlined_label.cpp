#include "render/outlined_label.h"

#include <cstring>

namespace marlin {

void drawOutlinedText(Canvas& canvas, int x, int y, std::string_view text, std::uint32_t textColour,
                      std::uint32_t outlineColour, const FontSpec& font, TextPainter& painter) {
  for (int dy = -1; dy <= 1; ++dy) {
    for (int dx = -1; dx <= 1; ++dx) {
      if (dx != 0 || dy != 0) {
        painter.drawText(canvas, x + dx, y + dy, text, outlineColour, font);
      }
    }
  }
  painter.drawText(canvas, x, y, text, textColour, font);
}

bool OutlinedLabel::matches(std::string_view text, const FontSpec& font, const TextPainter& painter) const {
  return painter_ == &painter && text_ == text && font_ == font;
}

void OutlinedLabel::record(std::string_view text, const FontSpec& font, TextPainter& painter) {
  painter_ = nullptr;
  runs_.clear();
  const TextExtent extent = painter.measureText(text, font);
  // The outline reaches one pixel beyond the text's box on every side.
  const int width = extent.width + 2;
  const int height = extent.height + 2;
  if (scratch_.size() != Size{width, height}) {
    if (!scratch_.reset(width, height, SurfaceFormat::Rgb32)) {
      return;
    }
  } else {
    std::memset(scratch_.data(), 0, scratch_.pitch() * height);
  }
  painter.drawText(scratch_, 1, 1, text, rgbColour(255, 255, 255), font);

  // Rows of marks with a blank pixel at each end, so neighbours need no
  // bounds checks: isText for the text itself, besideText for pixels that
  // are text or next to it along the row, for the rows above and below.
  const std::size_t stride = static_cast<std::size_t>(width) + 2;
  isText_.assign(stride * (height + 2), 0);
  besideText_.assign(stride * (height + 2), 0);
  for (int row = 0; row < height; ++row) {
    const std::uint8_t* pixels = scratch_.row(row);
    std::uint8_t* textRow = isText_.data() + (row + 1) * stride + 1;
    for (int column = 0; column < width; ++column) {
      textRow[column] = pixels[4 * column] != 0;
    }
    std::uint8_t* besideRow = besideText_.data() + (row + 1) * stride + 1;
    for (int column = 0; column < width; ++column) {
      besideRow[column] = textRow[column - 1] | textRow[column] | textRow[column + 1];
    }
  }
  // 0 untouched, 1 outline, 2 text.
  marks_.resize(width);
  for (int row = 0; row < height; ++row) {
    const std::uint8_t* textRow = isText_.data() + (row + 1) * stride + 1;
    const std::uint8_t* besideRow = besideText_.data() + (row + 1) * stride + 1;
    const std::uint8_t* besideAbove = besideRow - stride;
    const std::uint8_t* besideBelow = besideRow + stride;
    for (int column = 0; column < width; ++column) {
      const std::uint8_t near = besideAbove[column] | besideRow[column] | besideBelow[column];
      marks_[column] = static_cast<std::uint8_t>(near + textRow[column]);
    }
    for (int column = 0; column < width;) {
      const std::uint8_t mark = marks_[column];
      int end = column + 1;
      while (end < width && marks_[end] == mark) {
        ++end;
      }
      if (mark != 0) {
        runs_.push_back({column - 1, end - 1, row - 1, mark == 2});
      }
      column = end;
    }
  }
  text_.assign(text);
  font_ = font;
  painter_ = &painter;
}

void OutlinedLabel::draw(Canvas& canvas, int x, int y, std::string_view text, std::uint32_t textColour,
                         std::uint32_t outlineColour, const FontSpec& font, TextPainter& painter) {
  if (!painter.paintsSolid()) {
    drawOutlinedText(canvas, x, y, text, textColour, outlineColour, font, painter);
    return;
  }
  if (!matches(text, font, painter)) {
    record(text, font, painter);
    if (painter_ == nullptr) {
      drawOutlinedText(canvas, x, y, text, textColour, outlineColour, font, painter);
      return;
    }
  }
  canvas.paintRuns(x, y, runs_, {outlineColour, textColour});
}

}  // namespace marlin
