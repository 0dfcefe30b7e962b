#pragma once

#include "render/text_painter.h"

namespace marlin {

// Built-in 5 x 7 glyphs of printable ASCII, scaled by whole multiples of
// the font's size so they stay sharp; the face name is not used. A weight
// of 600 or more thickens the strokes, italic slants them, and characters
// without a glyph draw as a box.
class BitmapFontPainter final : public TextPainter {
 public:
  void drawText(Canvas& canvas, int x, int y, std::string_view text, std::uint32_t colour,
                const FontSpec& font) override;
  TextExtent measureText(std::string_view text, const FontSpec& font) override;
  bool paintsSolid() const override { return true; }
};

}  // namespace marlin
