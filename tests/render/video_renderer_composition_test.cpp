// Every way the renderer puts pictures on the display and into AVI frames,
// checked against checksums of the pictures the renderer composed before it
// learnt to convert into the cells themselves and to skip hidden channels.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <iterator>
#include <string>
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
    renderer_.SetAviComposesView(true);
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
    {SurfaceFormat::Rgb32, false, {640, 448}, 3, true, 4700616745974585475ULL},
    {SurfaceFormat::Rgb24, false, {641, 481}, 2, true, 15453824311658185291ULL},
    {SurfaceFormat::Rgb565, true, {640, 448}, 0, true, 14210025274770200434ULL},
};

class VideoRendererComposition : public ::testing::TestWithParam<Scene> {};

TEST_P(VideoRendererComposition, ComposesTheSamePicturesAsBefore) {
  const Scene& scene = GetParam();
  Composition composition(scene);
  EXPECT_EQ(composition.play(), scene.expected);
}

INSTANTIATE_TEST_SUITE_P(EveryPath, VideoRendererComposition, ::testing::ValuesIn(kScenes),
                         [](const ::testing::TestParamInfo<Scene>& named) {
                           const Scene& scene = named.param;
                           return "format" + std::to_string(static_cast<int>(scene.format)) +
                                  (scene.fast ? "Fast" : "Bgr24") + std::to_string(scene.client.width) + "Gap" +
                                  std::to_string(scene.gap) + (scene.labels ? "Labels" : "");
                         });

TEST(VideoRendererAviComposition, FramesHoldTheSamePicturesAsBefore) {
  const Scene scene{SurfaceFormat::Rgb32, true, {640, 448}, 0, true, 6520188475090985500ULL};
  Composition composition(scene);
  composition.startAvi();
  EXPECT_EQ(composition.play(), scene.expected);
  EXPECT_EQ(composition.aviFrames(), 2u);
}

TEST(VideoRendererPaging, AHiddenChannelsLatestPictureShowsWithItsPage) {
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
