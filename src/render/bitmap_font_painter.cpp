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

}  // namespace

void BitmapFontPainter::drawText(Canvas& canvas, int x, int y, std::string_view text, std::uint32_t colour,
                                 const FontSpec& font) {
  const int scaleY = scaleFor(font.height, kCellHeight);
  const int scaleX = font.width > 0 ? scaleFor(font.width, kCellWidth) : scaleY;
  const int thicken = font.weight >= 600 ? 1 : 0;
  int penX = x;
  for (const char c : text) {
    const std::uint8_t* rows = glyphRows(c);
    if (rows == nullptr) {
      rows = kBox;
    }
    for (int row = 0; row < kGlyphHeight; ++row) {
      const int slant = font.italic ? (kGlyphHeight - 1 - row) * scaleX / 3 : 0;
      const int top = y + row * scaleY;
      for (int column = 0; column < kGlyphWidth; ++column) {
        if (rows[row] & (0x10 >> column)) {
          const int left = penX + slant + column * scaleX;
          canvas.fill({left, top, left + scaleX + thicken, top + scaleY}, colour);
        }
      }
    }
    penX += kCellWidth * scaleX;
  }
}

}  // namespace marlin
