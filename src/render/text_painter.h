#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "render/canvas.h"

namespace marlin {

// A font as the user picks it; a painter renders it as closely as it can.
struct FontSpec {
  int height = 16;  // pixels; negative values count the character height alone
  int width = 0;    // average character width, 0 for the face's own
  int weight = 500;
  bool italic = false;
  std::string faceName = "Verdana";

  friend bool operator==(const FontSpec&, const FontSpec&) = default;
};

// The box, from the point text is drawn at, that holds every pixel drawing
// it changes: a label's layout can keep it inside its cell.
struct TextExtent {
  int width = 0;
  int height = 0;
};

// Draws text with a transparent background: only the glyphs' pixels change.
class TextPainter {
 public:
  virtual ~TextPainter() = default;
  // (x, y) is the top-left corner of the text; colour is 0x00BBGGRR.
  virtual void drawText(Canvas& canvas, int x, int y, std::string_view text, std::uint32_t colour,
                        const FontSpec& font) = 0;
  virtual TextExtent measureText(std::string_view text, const FontSpec& font) = 0;
  // Whether every pixel drawing changes takes exactly the text's colour,
  // whatever lay beneath, and drawing elsewhere moves the same pixels: then
  // what a text sets can be kept and replayed.
  virtual bool paintsSolid() const { return false; }
};

}  // namespace marlin
