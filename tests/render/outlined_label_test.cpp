#include "render/outlined_label.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "render/bitmap_font_painter.h"
#include "render_test_support.h"

namespace marlin {
namespace {

// A background whose every pixel differs from its neighbours, so a pixel
// the label should leave alone shows if it was written.
Canvas patterned(SurfaceFormat format) {
  Canvas canvas;
  canvas.reset(180, 48, format);
  for (std::size_t i = 0; i < canvas.pitch() * canvas.height(); ++i) {
    canvas.data()[i] = static_cast<std::uint8_t>(i * 29 + i / canvas.pitch() * 7);
  }
  return canvas;
}

bool sameBytes(const Canvas& a, const Canvas& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.pitch() * a.height()) == 0;
}

struct LabelCase {
  int x;
  int y;
  std::string text;
  FontSpec font;
};

// Plain, large, bold and italic faces, and labels running off each edge.
const LabelCase kCases[] = {
    {4, 2, "CH1 2026-12-09 12:00:00", FontSpec{}},
    {-5, -3, "CH16 ~@|", FontSpec{8, 0, 500, false, ""}},
    {120, 30, "CH9 bold", FontSpec{16, 0, 700, false, ""}},
    {10, 20, "CH4 slanted\x01", FontSpec{24, 0, 500, true, ""}},
    {0, 0, "", FontSpec{}},
};

// The kept spans replay exactly what the nine passes of text leave, both
// when they are taken and when they are reused.
TEST(OutlinedLabel, DrawsTheBytesThatDrawingThePassesGives) {
  BitmapFontPainter painter;
  const std::uint32_t textColour = rgbColour(250, 240, 10);
  const std::uint32_t outlineColour = rgbColour(20, 20, 20);
  for (const SurfaceFormat format : {SurfaceFormat::Rgb32, SurfaceFormat::Rgb24, SurfaceFormat::Rgb565}) {
    OutlinedLabel label;
    for (const LabelCase& c : kCases) {
      Canvas expected = patterned(format);
      drawOutlinedText(expected, c.x, c.y, c.text, textColour, outlineColour, c.font, painter);
      for (int pass = 0; pass < 2; ++pass) {
        Canvas drawn = patterned(format);
        label.draw(drawn, c.x, c.y, c.text, textColour, outlineColour, c.font, painter);
        EXPECT_TRUE(sameBytes(drawn, expected)) << "\"" << c.text << "\" pass " << pass;
      }
    }
  }
}

// New colours and a new font must not reuse the runs or colours of the old label.
TEST(OutlinedLabel, RedrawsWhenTheColoursOrFontChange) {
  BitmapFontPainter painter;
  OutlinedLabel label;
  const std::string text = "CH2 12:00:01";
  Canvas first = patterned(SurfaceFormat::Rgb32);
  label.draw(first, 3, 3, text, rgbColour(255, 255, 255), rgbColour(0, 0, 0), FontSpec{}, painter);

  const FontSpec bigger{24, 0, 700, false, ""};
  Canvas expected = patterned(SurfaceFormat::Rgb32);
  drawOutlinedText(expected, 3, 3, text, rgbColour(0, 255, 0), rgbColour(255, 0, 0), bigger, painter);
  Canvas drawn = patterned(SurfaceFormat::Rgb32);
  label.draw(drawn, 3, 3, text, rgbColour(0, 255, 0), rgbColour(255, 0, 0), bigger, painter);
  EXPECT_TRUE(sameBytes(drawn, expected));
}

// A painter that blends its edges is asked for all nine passes every time.
TEST(OutlinedLabel, PassesBlendingPaintersThroughEveryTime) {
  rendertest::RecordingPainter painter;
  OutlinedLabel label;
  Canvas canvas = patterned(SurfaceFormat::Rgb32);
  label.draw(canvas, 10, 5, "CH3 ", 0xFFFFFF, 0x141414, FontSpec{}, painter);
  label.draw(canvas, 10, 5, "CH3 ", 0xFFFFFF, 0x141414, FontSpec{}, painter);
  ASSERT_EQ(painter.drawn.size(), 18u);
  EXPECT_EQ(painter.drawn[0].x, 9);
  EXPECT_EQ(painter.drawn[0].y, 4);
  EXPECT_EQ(painter.drawn[8].x, 10);
  EXPECT_EQ(painter.drawn[8].colour, 0xFFFFFFu);
  EXPECT_EQ(painter.drawn[17].colour, 0xFFFFFFu);
}

}  // namespace
}  // namespace marlin
