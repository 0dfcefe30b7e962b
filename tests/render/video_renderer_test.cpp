#include "render/video_renderer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "render/bitmap_font_painter.h"
#include "render/offscreen_presenter.h"
#include "render_test_support.h"

namespace marlin {
namespace {

using rendertest::colourAt;
using rendertest::flatPicture;

// Y 128 with Cb 255 converts to R 128, G 84, B 255.
const std::vector<std::uint8_t> kVioletPicture = flatPicture(320, 224, 128, 255, 128);
constexpr std::uint32_t kViolet = rgbColour(128, 84, 255);
const CalendarTime kNoTime{};
const CalendarTime kTime{2024, 3, 2, 5, 7, 8, 9, 0};  // Tuesday 5 March 2024

struct Fixture {
  explicit Fixture(Size size, int channels = 4, TextPainter* textPainter = nullptr)
      : presenter(size), renderer(presenter, textPainter ? *textPainter : painter, consoleMessageSink()) {
    presenter.setKeepPresented(true);
    renderer.SetChannelCount(channels);
  }
  const Canvas& shown() const { return presenter.lastPresented(); }

  OffscreenPresenter presenter;
  rendertest::RecordingPainter painter;
  VideoRenderer renderer;
};

std::pair<int, int> splitOf(const VideoRenderer& renderer) {
  int split = 0;
  int page = 0;
  renderer.GetSplit(split, page);
  return {split, page};
}

TEST(VideoRendererSplit, PagesOnAndRefusesMoreCellsThanChannels) {
  Fixture f({640, 480}, 9);
  ASSERT_TRUE(f.renderer.SetSplit(4, 0));
  std::vector<int> pages;
  for (int i = 0; i < 3; ++i) {
    f.renderer.SetSplit(4, -1);
    pages.push_back(splitOf(f.renderer).second);
  }
  EXPECT_EQ(pages, (std::vector<int>{1, 2, 0}));
  f.renderer.SetSplit(9, -1);
  EXPECT_EQ(splitOf(f.renderer), std::make_pair(9, 0));

  f.renderer.SetChannelCount(4);
  EXPECT_FALSE(f.renderer.SetSplit(16, 0));
  EXPECT_EQ(splitOf(f.renderer), std::make_pair(9, 0));
}

TEST(VideoRendererSplit, DoubleClickTogglesOneChannelAndItsSplit) {
  Fixture f({300, 300}, 16);
  int notified = 0;
  f.renderer.setSplitChangedNotifier([&] { ++notified; });
  f.renderer.SetSplit(9, 0);
  f.renderer.doubleClick(MouseButton::Left, {250, 150});  // channel index 5: row 1, column 2
  EXPECT_EQ(splitOf(f.renderer), std::make_pair(1, 5));
  f.renderer.doubleClick(MouseButton::Left, {10, 10});
  EXPECT_EQ(splitOf(f.renderer), std::make_pair(9, 0));

  f.renderer.SetSplit(9, 1);
  f.renderer.doubleClick(MouseButton::Left, {50, 150});  // channel index 12
  EXPECT_EQ(splitOf(f.renderer), std::make_pair(1, 12));
  f.renderer.doubleClick(MouseButton::Left, {299, 299});
  EXPECT_EQ(splitOf(f.renderer), std::make_pair(9, 1));
  EXPECT_EQ(notified, 4);
  EXPECT_EQ(f.renderer.mouse().peek().state, 3);
}

TEST(VideoRendererMouse, RecordsEventsInsideTheClientArea) {
  Fixture f({200, 100});
  const auto state = [&] { return f.renderer.mouse().peek().state; };
  for (const Point outside : {Point{-1, 5}, Point{200, 5}, Point{5, 100}}) {
    f.renderer.buttonDown(MouseButton::Left, outside);
  }
  EXPECT_FALSE(f.renderer.mouse().isFresh());
  EXPECT_EQ(state(), 0);

  f.renderer.buttonDown(MouseButton::Left, {10, 20});
  const std::optional<MouseFields> taken = f.renderer.mouse().takeFresh();
  ASSERT_TRUE(taken.has_value());
  EXPECT_EQ(taken->state, 1);
  EXPECT_EQ(std::make_pair(taken->x, taken->y), std::make_pair(10, 20));
  EXPECT_EQ(std::make_pair(taken->viewWidth, taken->viewHeight), std::make_pair(200, 100));
  EXPECT_FALSE(f.renderer.mouse().isFresh());
  f.renderer.buttonUp(MouseButton::Left, {10, 20});
  EXPECT_EQ(state(), 0);
  f.renderer.mouse().clearFresh();
  f.renderer.buttonUp(MouseButton::Left, {11, 21});
  EXPECT_FALSE(f.renderer.mouse().isFresh()) << "a release without a press is not an event";

  f.renderer.buttonDown(MouseButton::Right, {1, 1});
  f.renderer.mouseMove({2, 2}, kLeftButtonHeld | kRightButtonHeld);
  EXPECT_EQ(state(), 2);
  EXPECT_EQ(f.renderer.mouse().peek().x, 2);
  f.renderer.mouseMove({2, 2}, kLeftButtonHeld);
  EXPECT_EQ(state(), 1);
  f.renderer.doubleClick(MouseButton::Right, {3, 3});
  EXPECT_EQ(state(), 4);
  f.renderer.buttonUp(MouseButton::Right, {3, 3});
  EXPECT_EQ(state(), 4);
}

class VideoRendererPaths : public ::testing::TestWithParam<bool> {};

TEST_P(VideoRendererPaths, PicturesLandInTheirCellsOnly) {
  const bool fast = GetParam();
  Fixture f({641, 481});
  f.renderer.SetSplit(4, 0);
  f.renderer.SetUseDirectDraw(fast);
  f.renderer.SetChannelCount(2);
  EXPECT_FALSE(f.renderer.PutPicture(2, kNoTime, kVioletPicture.data(), 320, 224));
  f.renderer.SetChannelCount(4);
  EXPECT_FALSE(f.renderer.PutPicture(0, kNoTime, flatPicture(704, 224, 128, 255, 128).data(), 704, 224));
  ASSERT_TRUE(f.renderer.PutPicture(1, kNoTime, kVioletPicture.data(), 320, 224));
  EXPECT_EQ(f.renderer.fastPathActive(), fast);

  // Refused pictures were not kept: their cells stay empty on a repaint,
  // which the 24-bit path paints black while the fast path leaves the new
  // surface's shade of black.
  f.renderer.Repaint();
  const std::uint32_t empty = fast ? rgbColour(10, 10, 10) : 0u;
  const Canvas& shown = f.shown();
  for (const Point p : {Point{321, 0}, Point{640, 0}, Point{321, 240}, Point{640, 240}}) {
    EXPECT_EQ(colourAt(shown, p.x, p.y), kViolet) << p.x << "," << p.y;
  }
  for (const Point p : {Point{0, 0}, Point{320, 240}, Point{321, 241}, Point{100, 400}}) {
    EXPECT_EQ(colourAt(shown, p.x, p.y), empty) << p.x << "," << p.y;
  }
}

INSTANTIATE_TEST_SUITE_P(FastAnd24Bit, VideoRendererPaths, ::testing::Bool());

TEST(VideoRendererLabels, ShowInThePresentedPictureOnlyWhenOn) {
  for (const bool labelsOn : {true, false}) {
    BitmapFontPainter font;
    Fixture f({320, 240}, 1, &font);
    f.renderer.SetLabelsOn(labelsOn);
    f.renderer.SetTextColour(rgbColour(255, 255, 0));
    f.renderer.SetOutlineColour(0);
    ASSERT_TRUE(f.renderer.PutPicture(0, kTime, kVioletPicture.data(), 320, 224));
    int text = 0;
    int outline = 0;
    for (int y = 0; y < 24; ++y) {
      for (int x = 0; x < 320; ++x) {
        text += colourAt(f.shown(), x, y) == rgbColour(255, 255, 0);
        outline += colourAt(f.shown(), x, y) == rgbColour(5, 5, 5);
      }
    }
    EXPECT_EQ(text > 0, labelsOn);
    EXPECT_EQ(outline > 0, labelsOn);
    EXPECT_EQ(colourAt(f.shown(), 319, 239), kViolet);
  }
}

TEST(VideoRendererPathsAgree, FastAnd24BitPathsComposeTheSamePicture) {
  const std::vector<std::uint8_t> picture = rendertest::gradientPicture(640, 272);
  for (const SurfaceFormat format : {SurfaceFormat::Rgb32, SurfaceFormat::Rgb24, SurfaceFormat::Bgr565}) {
    std::vector<std::vector<std::uint8_t>> composed;
    for (const bool fast : {true, false}) {
      Fixture f({333, 250});
      f.presenter.setSurfaceFormat(format);
      f.renderer.SetUseDirectDraw(fast);
      f.renderer.SetSplit(4, 0);
      f.renderer.ClearAll();
      ASSERT_TRUE(f.renderer.PutPicture(3, kNoTime, picture.data(), 640, 272));
      ASSERT_EQ(f.shown().format(), format);
      composed.emplace_back(f.shown().data(), f.shown().data() + f.shown().pitch() * f.shown().height());
    }
    EXPECT_TRUE(composed[0] == composed[1]) << static_cast<int>(format);
  }
}

TEST(VideoRendererSplit, ACellGapSeparatesTheCellsButNotTheEdges) {
  Fixture f({320, 240});
  f.renderer.SetSplit(4, 0);
  const std::uint32_t gap = rgbColour(11, 12, 14);
  f.renderer.SetCellGap(2, gap);
  for (int channel = 0; channel < 4; ++channel) {
    ASSERT_TRUE(f.renderer.PutPicture(channel, kNoTime, kVioletPicture.data(), 320, 224));
  }
  // Cells of 160 x 120 with the gap at their right and bottom inner edges.
  EXPECT_EQ(colourAt(f.shown(), 157, 60), kViolet);
  EXPECT_EQ(colourAt(f.shown(), 158, 60), gap);
  EXPECT_EQ(colourAt(f.shown(), 159, 60), gap);
  EXPECT_EQ(colourAt(f.shown(), 160, 60), kViolet);
  EXPECT_EQ(colourAt(f.shown(), 60, 118), gap);
  EXPECT_EQ(colourAt(f.shown(), 60, 120), kViolet);
  EXPECT_EQ(colourAt(f.shown(), 319, 239), kViolet);
  EXPECT_EQ(colourAt(f.shown(), 0, 0), kViolet);
  // One channel alone fills the view.
  f.renderer.SetSplit(1, 0);
  EXPECT_EQ(colourAt(f.shown(), 159, 60), kViolet);
}

TEST(VideoRendererLabels, ChannelNumberAndPictureTime) {
  Fixture f({400, 300}, 3);
  f.renderer.SetSplit(3, 0);
  f.renderer.SetLabelsOn(true);
  f.renderer.SetOutlineColour(rgbColour(1, 2, 3));
  const auto labelAfter = [&](const CalendarTime& time) {
    f.painter.drawn.clear();
    EXPECT_TRUE(f.renderer.PutPicture(2, time, kVioletPicture.data(), 320, 224));
    return f.painter.drawn.empty() ? std::string() : f.painter.drawn.back().text;
  };

  EXPECT_EQ(labelAfter(kTime), "CH3 2024/03/05 07:08:09");
  // Eight outline passes around the text, then the text itself, at the
  // cell's corner (channel index 2 sits in the second row).
  ASSERT_EQ(f.painter.drawn.size(), 9u);
  EXPECT_EQ(f.painter.drawn[0].colour, rgbColour(1, 2, 3));
  EXPECT_EQ(f.painter.drawn[0].x, 3);
  EXPECT_EQ(f.painter.drawn[0].y, 151);
  EXPECT_EQ(f.painter.drawn[8].colour, rgbColour(255, 255, 128));
  EXPECT_EQ(f.painter.drawn[8].x, 4);
  EXPECT_EQ(f.painter.drawn[8].y, 152);

  EXPECT_EQ(labelAfter(kNoTime), "CH3 ");
  f.renderer.SetTimeFormat("%j %H:%M");
  EXPECT_EQ(labelAfter(kTime), "CH3 065 07:08");
  f.renderer.SetShowTime(false);
  EXPECT_EQ(labelAfter(kTime), "CH3 ");
}

TEST(VideoRendererLabels, ACellTooNarrowForTheTimeKeepsItsChannel) {
  // The recording painter's text is half its height wide per character.
  for (const auto& [width, label] : {std::pair{640, "CH2 2024/03/05 07:08:09"}, std::pair{200, "CH2 "}}) {
    rendertest::RecordingPainter painter;
    Fixture f({width, 200}, 4, &painter);
    f.renderer.SetSplit(4, 0);
    f.renderer.SetLabelsOn(true);
    ASSERT_TRUE(f.renderer.PutPicture(1, kTime, kVioletPicture.data(), 320, 224));
    ASSERT_FALSE(painter.drawn.empty());
    EXPECT_EQ(painter.drawn.back().text, label) << width;
  }
}

TEST(VideoRendererAvi, AFrameGoesOutWhenAChannelComesRound) {
  Fixture f({128, 96});
  rendertest::RecordingFrameSink sink(64, 48);
  f.renderer.SetSplit(4, 0);
  f.renderer.SetUseDirectDraw(false);
  f.renderer.SetAviWriter(&sink);
  f.renderer.SetAviCapture(true);
  f.renderer.SetAviComposesView(true);
  const std::vector<std::uint8_t> pictures[] = {flatPicture(320, 224, 128, 255, 128),
                                                flatPicture(320, 224, 128, 128, 0), flatPicture(320, 224, 64, 128, 128),
                                                flatPicture(320, 224, 200, 128, 128)};
  const std::uint32_t colours[] = {kViolet, rgbColour(1, 219, 128), rgbColour(64, 64, 64), rgbColour(200, 200, 200)};
  for (int channel = 0; channel < 4; ++channel) {
    ASSERT_TRUE(f.renderer.PutPicture(channel, kNoTime, pictures[channel].data(), 320, 224));
  }
  EXPECT_TRUE(f.renderer.fastPathActive());
  EXPECT_TRUE(sink.frames.empty());

  ASSERT_TRUE(f.renderer.PutPicture(0, kNoTime, pictures[3].data(), 320, 224));
  ASSERT_EQ(sink.frames.size(), 1u);
  EXPECT_EQ(sink.colourAt(0, 0, 0), colours[0]);
  EXPECT_EQ(sink.colourAt(0, 63, 0), colours[1]);
  EXPECT_EQ(sink.colourAt(0, 0, 47), colours[2]);
  EXPECT_EQ(sink.colourAt(0, 63, 47), colours[3]);

  f.renderer.SetAviComposesView(false);
  for (int channel = 0; channel < 4; ++channel) {
    f.renderer.PutPicture(channel, kNoTime, pictures[channel].data(), 320, 224);
  }
  EXPECT_EQ(sink.frames.size(), 1u);
}

}  // namespace
}  // namespace marlin
