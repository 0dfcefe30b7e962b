// Every way the renderer puts pictures on the display and into AVI frames,
// checked against checksums of the pictures the renderer composed before it
// learnt to convert into the cells themselves and to skip hidden channels.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <iterator>
#include <utility>
#include <vector>

#include "render/bitmap_font_painter.h"
#include "render/offscreen_presenter.h"
#include "render/video_renderer.h"
#include "render_test_support.h"

namespace marlin {
namespace {

using rendertest::colourAt;

struct PictureShape {
  int width;
  int height;
};

// Every picture size against cells of 320 x 224, 640 x 448 and others:
// same size, twice the height, half the width and the general case.
constexpr PictureShape kShapes[] = {{320, 224}, {640, 224}, {320, 112}, {640, 272},
                                    {640, 112}, {320, 136}, {640, 224}, {320, 224}};

std::uint64_t mixIn(std::uint64_t hash, const std::uint8_t* bytes, std::size_t size) {
  std::size_t i = 0;
  for (; i + 8 <= size; i += 8) {
    std::uint64_t word = 0;
    std::memcpy(&word, bytes + i, 8);
    hash = (hash ^ word) * 0x100000001B3ULL;
  }
  for (; i < size; ++i) {
    hash = (hash ^ bytes[i]) * 0x100000001B3ULL;
  }
  return hash;
}

struct Scene {
  SurfaceFormat format;
  bool fast;
  Size client;
  int gap;
  bool labels;
  std::uint64_t expected;
};

// Plays a fixed sequence of pictures, splits, pages and repaints through a
// renderer and folds every presented picture and AVI frame into one hash.
class Composition {
 public:
  explicit Composition(const Scene& scene) : presenter_(scene.client, scene.format), sink_(320, 240) {
    presenter_.setKeepPresented(true);
    renderer_.SetChannelCount(16);
    renderer_.SetUseDirectDraw(scene.fast);
    renderer_.SetLabelsOn(scene.labels);
    renderer_.SetCellGap(scene.gap, rgbColour(30, 60, 90));
  }

  std::size_t aviFrames() const { return sink_.frames.size(); }

  void startAvi() {
    renderer_.SetAviWriter(&sink_);
    renderer_.SetAviCapture(true);
    renderer_.SetEngineMode(1);
  }

  std::uint64_t play() {
    renderer_.SetSplit(16, 0);
    putRound(0);
    renderer_.SetSplit(4, 0);
    putRound(1);
    renderer_.SetSplit(4, -1);
    fold();
    putRound(2);
    renderer_.SetSplit(4, -1);
    fold();
    renderer_.SetSplit(9, 1);
    fold();
    putRound(3);
    renderer_.SetSplit(1, 5);
    fold();
    putRound(4);
    renderer_.Repaint();
    fold();
    renderer_.ClearAll();
    fold();
    renderer_.SetSplit(16, 0);
    putRound(5);
    renderer_.Repaint();
    fold();
    for (const auto& frame : sink_.frames) {
      hash_ = mixIn(hash_, frame.data(), frame.size());
    }
    return hash_;
  }

 private:
  void fold() {
    const Canvas& shown = presenter_.lastPresented();
    hash_ = mixIn(hash_, shown.data(), shown.pitch() * static_cast<std::size_t>(shown.height()));
  }

  // Every channel's picture of a round, each in a view of its own, then the
  // view they make together.
  void putRound(int round) {
    for (int channel = 0; channel < 16; ++channel) {
      const std::vector<std::uint8_t>& picture = pictures().at(round * 16 + channel);
      const PictureShape shape = shapeOf(round, channel);
      const CalendarTime time{2024, 3, 2, 5, 7, 8, static_cast<std::uint16_t>(channel), 0};
      renderer_.PutPicture(channel, time, picture.data(), shape.width, shape.height);
    }
    fold();
  }

  static PictureShape shapeOf(int round, int channel) { return kShapes[(channel + round) % std::size(kShapes)]; }

  static const std::vector<std::vector<std::uint8_t>>& pictures() {
    static const std::vector<std::vector<std::uint8_t>> made = [] {
      std::vector<std::vector<std::uint8_t>> all;
      for (int round = 0; round < kRounds; ++round) {
        for (int channel = 0; channel < 16; ++channel) {
          const PictureShape shape = shapeOf(round, channel);
          std::vector<std::uint8_t> picture = rendertest::gradientPicture(shape.width, shape.height);
          for (std::uint8_t& sample : picture) {
            sample = static_cast<std::uint8_t>(sample + channel * 17 + round * 5);
          }
          all.push_back(std::move(picture));
        }
      }
      return all;
    }();
    return made;
  }

  static constexpr int kRounds = 6;
  OffscreenPresenter presenter_;
  BitmapFontPainter painter_;
  VideoRenderer renderer_{presenter_, painter_, consoleMessageSink()};
  rendertest::RecordingFrameSink sink_;
  std::uint64_t hash_ = 0xCBF29CE484222325ULL;
};

constexpr Scene kScenes[] = {
    {SurfaceFormat::Rgb32, true, {640, 448}, 0, true, 10131191603141934635ULL},
    {SurfaceFormat::Rgb32, false, {640, 448}, 0, true, 14410104897258935119ULL},
    {SurfaceFormat::Rgb32, true, {640, 448}, 2, false, 4593676978829867708ULL},
    {SurfaceFormat::Rgb32, false, {640, 448}, 3, true, 4700616745974585475ULL},
    {SurfaceFormat::Rgb32, true, {641, 481}, 0, false, 5278146077892672551ULL},
    {SurfaceFormat::Rgb32, false, {641, 481}, 1, true, 8824094307346998281ULL},
    {SurfaceFormat::Rgb24, true, {640, 448}, 0, true, 4707088975799969729ULL},
    {SurfaceFormat::Rgb24, false, {640, 448}, 0, false, 7668303142945128474ULL},
    {SurfaceFormat::Rgb24, false, {641, 481}, 2, true, 15453824311658185291ULL},
    {SurfaceFormat::Rgb565, true, {640, 448}, 0, true, 14210025274770200434ULL},
    {SurfaceFormat::Rgb565, false, {640, 448}, 1, true, 17177449258269948716ULL},
    {SurfaceFormat::Rgb555, true, {641, 481}, 0, false, 11832377138685309478ULL},
};

TEST(VideoRendererComposition, EveryPathComposesTheSamePicturesAsBefore) {
  for (const Scene& scene : kScenes) {
    Composition composition(scene);
    EXPECT_EQ(composition.play(), scene.expected)
        << "format " << static_cast<int>(scene.format) << (scene.fast ? " fast " : " 24-bit ") << scene.client.width
        << "x" << scene.client.height << " gap " << scene.gap << (scene.labels ? " labels" : "");
  }
}

TEST(VideoRendererComposition, AviFramesHoldTheSamePicturesAsBefore) {
  for (const Scene& scene : {Scene{SurfaceFormat::Rgb32, true, {640, 448}, 0, true, 6520188475090985500ULL},
                             Scene{SurfaceFormat::Rgb565, false, {640, 448}, 2, true, 8991551741307444308ULL}}) {
    Composition composition(scene);
    composition.startAvi();
    EXPECT_EQ(composition.play(), scene.expected) << static_cast<int>(scene.format);
    EXPECT_EQ(composition.aviFrames(), 2u);
  }
}

TEST(VideoRendererComposition, AHiddenChannelsLatestPictureShowsWithItsPage) {
  // Y 128 with Cb 255 converts to R 128, G 84, B 255; Y 200 alone to grey.
  const std::vector<std::uint8_t> violet = rendertest::flatPicture(320, 224, 128, 255, 128);
  const std::vector<std::uint8_t> grey = rendertest::flatPicture(640, 224, 200, 128, 128);
  for (const bool fast : {true, false}) {
    OffscreenPresenter presenter({640, 448});
    presenter.setKeepPresented(true);
    rendertest::RecordingPainter painter;
    VideoRenderer renderer(presenter, painter, consoleMessageSink());
    renderer.SetChannelCount(8);
    renderer.SetUseDirectDraw(fast);
    renderer.SetSplit(4, 0);
    const int presents = presenter.presentCount();
    ASSERT_TRUE(renderer.PutPicture(5, CalendarTime{}, violet.data(), 320, 224));
    ASSERT_TRUE(renderer.PutPicture(5, CalendarTime{}, grey.data(), 640, 224));
    EXPECT_EQ(presenter.presentCount(), presents) << "a hidden channel shows nothing";

    renderer.SetSplit(4, 1);
    // Channel 5 is the second cell of the second page.
    EXPECT_EQ(colourAt(presenter.lastPresented(), 320, 0), rgbColour(200, 200, 200)) << fast;
    EXPECT_EQ(colourAt(presenter.lastPresented(), 639, 223), rgbColour(200, 200, 200)) << fast;
    renderer.SetSplit(1, 5);
    EXPECT_EQ(colourAt(presenter.lastPresented(), 0, 447), rgbColour(200, 200, 200)) << fast;
  }
}

}  // namespace
}  // namespace marlin
