#include "render/bitmap_font_painter.h"

#include <gtest/gtest.h>

#include "render_test_support.h"

namespace marlin {
namespace {

// Wide, bold and slanted glyphs stay inside the measured box, in whole
// pixels of the text's colour.
TEST(BitmapFontPainter, DrawsSharpTextInsideItsMeasuredBoxOnly) {
  BitmapFontPainter painter;
  for (const bool italic : {false, true}) {
    for (const int weight : {500, 700}) {
      for (const int width : {0, 18}) {
        FontSpec font;
        font.height = 24;
        font.width = width;
        font.weight = weight;
        font.italic = italic;
        SCOPED_TRACE(testing::Message() << italic << " " << weight << " " << width);
        const rendertest::Drawn drawn = rendertest::drawWhiteOnBlack(painter, "CH16 2026/12/09 W\x01", font);
        EXPECT_GT(drawn.changed, 0);
        EXPECT_EQ(drawn.outside, 0);
        EXPECT_EQ(drawn.between, 0);
        EXPECT_LT(painter.measureText("CH1", font).width, painter.measureText("CH16", font).width);
      }
    }
  }
}

}  // namespace
}  // namespace marlin
