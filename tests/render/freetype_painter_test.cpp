#include "render/freetype_painter.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "base/log.h"
#include "platform/message_sink.h"
#include "render/bitmap_font_painter.h"
#include "render/offscreen_presenter.h"
#include "render/text_painter_choice.h"
#include "render/video_renderer.h"
#include "render_test_support.h"

namespace marlin {
namespace {

using rendertest::colourAt;
using rendertest::Drawn;
using rendertest::drawWhiteOnBlack;

std::unique_ptr<FreeTypePainter> openPainter() {
  std::unique_ptr<FreeTypePainter> painter;
  for (const std::string& folder : defaultFontFolders()) {
    if (FreeTypePainter::open(folder, painter)) {
      return painter;
    }
  }
  ADD_FAILURE() << "no DejaVu fonts in the default folders (scripts/bootstrap.sh installs them)";
  return nullptr;
}

FontSpec fontOf(int height, int weight = 500, bool italic = false, const char* face = "Verdana", int width = 0) {
  FontSpec font;
  font.height = height;
  font.weight = weight;
  font.italic = italic;
  font.faceName = face;
  font.width = width;
  return font;
}

// Descenders, a first glyph hanging left, an accent above the caps, bold,
// italic, a forced width and an em size all stay inside the measured box.
TEST(FreeTypePainter, DrawsAntiAliasedTextInsideItsMeasuredBoxOnly) {
  const auto painter = openPainter();
  ASSERT_TRUE(painter);
  const std::vector<std::pair<std::string, FontSpec>> cases{
      {"CH1 2026/12/09 02:38:13", fontOf(16)},
      {"jgy_\xC5|", fontOf(16)},
      {"CH16 W", fontOf(24, 700)},
      {"CH2 fj", fontOf(16, 500, true)},
      {"CH3 00:00", fontOf(16, 500, false, "Courier New", 12)},
      {"Wq", fontOf(-30, 700, true, "Lucida Console")},
  };
  for (const auto& [text, font] : cases) {
    SCOPED_TRACE(text);
    const Drawn drawn = drawWhiteOnBlack(*painter, text, font);
    EXPECT_GT(drawn.changed, 0);
    EXPECT_EQ(drawn.outside, 0);
    EXPECT_GT(drawn.white, 0);
    EXPECT_GT(drawn.between, 0);
    EXPECT_EQ(drawn.coloured, 0);
  }
}

TEST(FreeTypePainter, MeasuresCellHeightsAndWidthsThatGrowWithTheText) {
  const auto painter = openPainter();
  ASSERT_TRUE(painter);
  const FontSpec label = fontOf(16);
  const TextExtent channel = painter->measureText("CH1 ", label);
  const TextExtent withTime = painter->measureText("CH1 2026/12/09 02:38:13", label);
  EXPECT_NEAR(channel.height, 16, 1);
  EXPECT_EQ(withTime.height, channel.height);
  EXPECT_GT(withTime.width, channel.width * 4);
  EXPECT_GT(painter->measureText("CH1 ", fontOf(32)).width, channel.width * 3 / 2);
  EXPECT_GT(painter->measureText("CH1 ", fontOf(32)).height, 30);
  // A width well above the face's own average (about 7 pixels here) widens the text.
  const TextExtent wide = painter->measureText("CH1 2026", fontOf(16, 500, false, "Verdana", 18));
  EXPECT_GT(wide.width, painter->measureText("CH1 2026", label).width * 3 / 2);
  EXPECT_EQ(painter->measureText("", label).width, 0);
}

// The renderer's eight outline copies leave whole pixels of the outline
// colour around the label, and the text keeps pixels of its own colour.
TEST(FreeTypePainter, LabelsThroughTheRendererShowTextAndOutline) {
  const auto painter = openPainter();
  ASSERT_TRUE(painter);
  OffscreenPresenter presenter({320, 240});
  presenter.setKeepPresented(true);
  VideoRenderer renderer(presenter, *painter, consoleMessageSink());
  renderer.SetChannelCount(1);
  renderer.SetLabelsOn(true);
  renderer.SetTextColour(rgbColour(255, 255, 0));
  renderer.SetOutlineColour(rgbColour(0, 0, 200));
  const auto picture = rendertest::flatPicture(320, 224, 128, 128, 128);
  ASSERT_TRUE(renderer.PutPicture(0, CalendarTime{2024, 3, 2, 5, 7, 8, 9, 0}, picture.data(), 320, 224));
  const TextExtent extent = painter->measureText("CH1 2024/03/05 07:08:09", FontSpec{});
  int text = 0;
  int outline = 0;
  for (int y = 0; y < 240; ++y) {
    for (int x = 0; x < 320; ++x) {
      const std::uint32_t colour = colourAt(presenter.lastPresented(), x, y);
      const bool nearLabel = x >= 3 && x <= 4 + extent.width && y >= 1 && y <= 2 + extent.height;
      text += colour == rgbColour(255, 255, 0) && nearLabel;
      outline += colour == rgbColour(0, 0, 200) && nearLabel;
    }
  }
  EXPECT_GT(text, 20);
  EXPECT_GT(outline, 20);
}

class CollectingSink final : public LogSink {
 public:
  void write(LogLevel level, std::string_view message) override { lines.emplace_back(logLevelName(level), message); }
  std::vector<std::pair<std::string, std::string>> lines;
};

TEST(TextPainterChoice, FallsBackToTheBitmapFontWithAWarningWhenNoFontLoads) {
  std::unique_ptr<FreeTypePainter> unopened;
  const Status missing = FreeTypePainter::open("/nonexistent/fonts", unopened);
  EXPECT_EQ(missing.code(), StatusCode::NotFound);
  EXPECT_FALSE(unopened);

  CollectingSink sink;
  setLogSink(&sink);
  setLogLevel(LogLevel::Warning);
  const auto fallback = makeTextPainter({"/nonexistent/fonts"});
  const auto real = makeTextPainter();
  setLogLevel(std::nullopt);
  setLogSink(nullptr);
  EXPECT_NE(dynamic_cast<BitmapFontPainter*>(fallback.get()), nullptr);
  EXPECT_NE(dynamic_cast<FreeTypePainter*>(real.get()), nullptr);
  ASSERT_EQ(sink.lines.size(), 1u);
  EXPECT_EQ(sink.lines[0].first, "warning");
  EXPECT_NE(sink.lines[0].second.find("bitmap font"), std::string::npos);
}

}  // namespace
}  // namespace marlin
