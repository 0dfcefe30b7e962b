#include "render/bitmap_font_painter.h"

#include <algorithm>
#include <cstdlib>

#include "render/bitmap_font_glyphs.h"

namespace marlin {

namespace {

// A glyph and the blank column and row that separate it from its neighbours.
constexpr int kCellWidth = kGlyphWidth + 1;
constexpr int kCellHeight = kGlyphHeight + 1;
constexpr int kMaxScale = 64;

constexpr std::uint8_t kBox[kGlyphHeight] = {0x1F, 0x11, 0x11, 0x11, 0x11, 0x11, 0x1F};

int scaleFor(int size, int cell) { return std::clamp(std::abs(std::clamp(size, -4096, 4096)) / cell, 1, kMaxScale); }

// How the chosen font (FontSpec) scales and shapes the glyphs.
struct Scaling {
  int x;
  int y;
  int thicken;
  bool italic;

  explicit Scaling(const FontSpec& font)
      : x(font.width > 0 ? scaleFor(font.width, kCellWidth) : scaleFor(font.height, kCellHeight)),
        y(scaleFor(font.height, kCellHeight)),
        thicken(font.weight >= 600 ? 1 : 0),
        italic(font.italic) {}
  // How far right the top row of an italic glyph leans.
  int slant(int row) const { return italic ? (kGlyphHeight - 1 - row) * x / 3 : 0; }
};

}  // namespace

void BitmapFontPainter::drawText(Canvas& canvas, int x, int y, std::string_view text, std::uint32_t colour,
                                 const FontSpec& font) {
  const Scaling scale(font);
  int penX = x;
  for (const char c : text) {
    const std::uint8_t* rows = glyphRows(c);
    if (rows == nullptr) {
      rows = kBox;
    }
    for (int row = 0; row < kGlyphHeight; ++row) {
      const int top = y + row * scale.y;
      const int rowLeft = penX + scale.slant(row);
      // A run of set pixels is one fill: their blocks touch or overlap.
      for (int column = 0; column < kGlyphWidth; ++column) {
        if (!(rows[row] & (0x10 >> column))) {
          continue;
        }
        int last = column;
        while (last + 1 < kGlyphWidth && (rows[row] & (0x10 >> (last + 1)))) {
          ++last;
        }
        canvas.fill(
            {rowLeft + column * scale.x, top, rowLeft + last * scale.x + scale.x + scale.thicken, top + scale.y},
            colour);
        column = last;
      }
    }
    penX += kCellWidth * scale.x;
  }
}

TextExtent BitmapFontPainter::measureText(std::string_view text, const FontSpec& font) {
  if (text.empty()) {
    return {};
  }
  const Scaling scale(font);
  const int lastGlyphLeft = static_cast<int>(text.size() - 1) * kCellWidth * scale.x;
  return {lastGlyphLeft + scale.slant(0) + kGlyphWidth * scale.x + scale.thicken, kGlyphHeight * scale.y};
}

}  // namespace marlin
