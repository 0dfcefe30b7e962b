#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "render/canvas.h"
#include "render/text_painter.h"

namespace marlin {

// Text with a one-pixel outline all round: drawn in the outline colour at
// the eight neighbouring positions, then in the text colour on top.
//
// A label keeps the runs of pixels its last text set, so while the text,
// colours and font stay the same (a label's time changes once a second,
// pictures come many times a second) it is redrawn from them instead of
// nine passes of text. Painters that blend their edges into what lies
// beneath are drawn directly every time.
class OutlinedLabel {
 public:
  void draw(Canvas& canvas, int x, int y, std::string_view text, std::uint32_t textColour, std::uint32_t outlineColour,
            const FontSpec& font, TextPainter& painter);

 private:
  bool matches(std::string_view text, const FontSpec& font, const TextPainter& painter) const;
  // Takes the runs from one pass of text: an outline pixel is any pixel
  // next to a text pixel (diagonals included) that is not one itself.
  void record(std::string_view text, const FontSpec& font, TextPainter& painter);

  std::string text_;
  FontSpec font_;
  const TextPainter* painter_ = nullptr;
  // Relative to the text's top-left corner; the second colour is the text's.
  std::vector<PaintRun> runs_;
  // Working space of record, kept to spare allocations.
  Canvas scratch_;
  std::vector<std::uint8_t> isText_;
  std::vector<std::uint8_t> besideText_;
  std::vector<std::uint8_t> marks_;
};

// The outlined text drawn directly, pass by pass.
void drawOutlinedText(Canvas& canvas, int x, int y, std::string_view text, std::uint32_t textColour,
                      std::uint32_t outlineColour, const FontSpec& font, TextPainter& painter);

}  // namespace marlin
