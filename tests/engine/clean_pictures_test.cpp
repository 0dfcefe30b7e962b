#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <set>
#include <string>

#include "engine/engine_rig.h"
#include "engine/reverse_picture_cache.h"
#include "engine/sample/sample_recording.h"
#include "source/container.h"

namespace marlin::testing {
namespace {

constexpr Size kViewSize{320, 224};

struct CleanFrame {
  int channel;
  YuvPicture picture;
};

// Each picture of a recording as decoding it from the start in reading order
// gives it, found by the read positions the engine reports with it: where
// reading forward stops after it (the next frame's start) and where reading
// backward leaves it (just past its start code).
std::map<std::uint64_t, CleanFrame> decodeCleanly(const std::string& path) {
  StreamSource source;
  EXPECT_TRUE(source.open(path, false));
  VideoDecoder decoder;
  decoder.Init(4);
  PictureStore store;
  std::vector<std::uint8_t> frame(container::kFrameBufferSize);
  std::map<std::uint64_t, CleanFrame> frames;
  while (const std::uint32_t length = readOnward(source, frame.data(), false)) {
    if (source.header().isAudio) {
      continue;
    }
    const YuvPicture* picture = store.decode(decoder, frame.data(), length);
    if (picture == nullptr) {
      continue;
    }
    const std::uint64_t start = source.header().start;
    const bool divided = start % container::kBlockSize + 4 > container::kBlockSize;
    const CleanFrame clean{decoder.GetChannel(), *picture};
    frames.emplace(source.getPosition(), clean);
    frames.emplace(start + 4 + (divided ? container::kHeaderSize : 0), clean);
  }
  return frames;
}

// Checks every picture the engine shows: the cell it was drawn into must hold
// exactly what a renderer of its own draws there from the picture decoded
// from the recording's start. A picture made of two moments (a conditional
// picture over the wrong one) differs.
class CleanPictureCheck final : public PlaybackObserver {
 public:
  CleanPictureCheck(EngineRig& rig, std::map<std::uint64_t, CleanFrame> clean)
      : rig_(rig), clean_(std::move(clean)), reference_(referencePresenter_, painter_, messages_) {
    // Small views keep the copy of every presented picture quick.
    rig_.presenter.setClientSize(kViewSize);
    rig_.engine.renderer().resize();
    rig_.presenter.setKeepPresented(true);
    referencePresenter_.setKeepPresented(true);
    reference_.SetChannelCount(rig_.engine.maxSplit());
    reference_.SetUseDirectDraw(false);
    reference_.SetLabelsOn(true);
    reference_.resize();
  }

  void pictureShown(int channel, const CalendarTime& time, int width, int height, std::uint64_t position) override {
    rig_.log.pictureShown(channel, time, width, height, position);
    std::lock_guard guard(lock_);
    ++checked_;
    const auto found = clean_.find(position);
    // Reading backward, a picture's time is that of the block its start
    // lies in; reading forward, of the block its end lies in.
    if (found == clean_.end() || found->second.channel != channel) {
      failures_.push_back("channel " + std::to_string(channel) + " at " + std::to_string(position) +
                          ": no such picture decodes from the start");
      return;
    }
    int split = 0;
    int page = 0;
    rig_.engine.getView(split, page);
    reference_.SetChannelCount(rig_.engine.maxSplit());
    reference_.SetSplit(split, page);
    const YuvPicture& expected = found->second.picture;
    reference_.PutPicture(channel, time, expected.data.data(), expected.width, expected.height);
    const Canvas& shown = rig_.presenter.lastPresented();
    const Canvas& drawn = referencePresenter_.lastPresented();
    const Rect cell = layoutSplit(shown.size(), split, page, rig_.engine.maxSplit()).cells[channel];
    const std::size_t rowBytes = static_cast<std::size_t>(cell.right - cell.left) * 4;
    for (int y = cell.top; y < cell.bottom; ++y) {
      if (!std::equal(shown.row(y) + cell.left * 4, shown.row(y) + cell.left * 4 + rowBytes,
                      drawn.row(y) + cell.left * 4)) {
        failures_.push_back("channel " + std::to_string(channel) + " at " + std::to_string(position) +
                            ": the cell differs from the clean picture at row " + std::to_string(y));
        return;
      }
    }
  }

  void stateChanged(PlaybackState state, double speed) override { rig_.log.stateChanged(state, speed); }

  std::size_t checked() const {
    std::lock_guard guard(lock_);
    return checked_;
  }
  std::vector<std::string> failures() const {
    std::lock_guard guard(lock_);
    return failures_;
  }

 private:
  EngineRig& rig_;
  const std::map<std::uint64_t, CleanFrame> clean_;
  OffscreenPresenter referencePresenter_{kViewSize};
  BitmapFontPainter painter_;
  ConsoleMessageSink messages_;
  VideoRenderer reference_;
  mutable std::mutex lock_;
  std::size_t checked_ = 0;
  std::vector<std::string> failures_;
};

// A ball moving over still colour bars: conditional pictures code only the
// macroblocks it crosses, with a refresh picture per camera every two seconds.
sample::SampleOptions movingBallOverStillScene() {
  sample::SampleOptions options;
  options.channels = 4;
  options.seconds = 24;
  options.conditional = true;
  return options;
}

std::set<int> channelsShownFrom(const EventLog& log, std::size_t first) {
  std::set<int> channels;
  for (const ShownPicture& picture : log.picturesFrom(first)) {
    channels.insert(picture.channel);
  }
  return channels;
}

bool pausedWithMore(const EngineRig& rig, std::size_t pictures) {
  return rig.log.pictureCount() > pictures && rig.engine.getState() == PlaybackState::Paused;
}

TEST(CleanPictures, EveryPictureAfterJumpsStepsReverseAndFastPlayIsDecodedFromItsRefreshPicture) {
  EngineRig rig;
  const std::vector<std::uint8_t> recording = sample::makeSampleRecording(movingBallOverStillScene());
  const std::string path = rig.dir.file("ball.QKV");
  writeFile(path, recording);
  CleanPictureCheck check(rig, decodeCleanly(path));
  rig.engine.setObserver(&check);
  rig.engine.adjustSpeed(8);
  ASSERT_EQ(rig.engine.openSource(path, false, OpenedPlay::Paused), 1);
  ASSERT_TRUE(rig.waitForState(PlaybackState::Paused));

  // A jump shows every cell as it was at the target, each camera decoded from
  // its last refresh picture; with one camera shown, the others are brought
  // up when they come into view.
  rig.engine.selectView(1, 0);
  std::size_t before = rig.log.pictureCount();
  ASSERT_TRUE(rig.jumpAndWait(recording.size() * 2 / 5));
  EXPECT_EQ(channelsShownFrom(rig.log, before), std::set<int>{0});
  before = rig.log.pictureCount();
  rig.engine.selectView(4, 0);
  ASSERT_TRUE(rig.log.waitFor([&](const EventLog& l) { return l.pictureCount() >= before + 3; }));
  EXPECT_EQ(channelsShownFrom(rig.log, before), (std::set<int>{1, 2, 3}));

  before = rig.log.pictureCount();
  ASSERT_TRUE(rig.jumpAndWait(recording.size() * 3 / 4));
  EXPECT_EQ(channelsShownFrom(rig.log, before), (std::set<int>{0, 1, 2, 3}));

  // Previous Frame, then on forward again.
  for (int step = 0; step < 6; ++step) {
    before = rig.log.pictureCount();
    ASSERT_TRUE(
        rig.commandAndWait([&] { rig.engine.stepBackward(); }, PlaybackState::StepBackward, PlaybackState::Paused));
  }
  for (int step = 0; step < 3; ++step) {
    ASSERT_TRUE(
        rig.commandAndWait([&] { rig.engine.stepForward(); }, PlaybackState::StepForward, PlaybackState::Paused));
  }

  // Backward to the start, then forward at 16x with its skips to the end.
  before = rig.log.pictureCount();
  rig.engine.playReverse(8);
  ASSERT_TRUE(rig.log.waitFor([&](const EventLog& l) { return l.pictureCount() > before + 100; }));
  ASSERT_TRUE(rig.log.waitFor([&](const EventLog&) { return pausedWithMore(rig, before); }));
  before = rig.log.pictureCount();
  rig.engine.fastForward();
  ASSERT_TRUE(rig.waitForState(PlaybackState::Forward));
  rig.engine.fastForward();
  ASSERT_TRUE(rig.log.waitFor([&](const EventLog&) { return pausedWithMore(rig, before); }));
  rig.engine.closeSource();

  EXPECT_GT(check.checked(), 200u);
  const std::vector<std::string> failures = check.failures();
  for (const std::string& f : failures) ADD_FAILURE() << f;
}

TEST(CleanPictures, BackwardPlayHoldsNoMorePicturesThanItsBudget) {
  sample::SampleOptions options = movingBallOverStillScene();
  options.channels = 1;
  options.seconds = 6;
  TempDir dir;
  const std::string path = dir.file("ball.QKV");
  writeFile(path, sample::makeSampleRecording(options));
  const std::map<std::uint64_t, CleanFrame> clean = decodeCleanly(path);

  // Room for the references and twenty pictures, where a refresh picture is
  // followed by sixty conditional ones.
  const std::size_t pictureBytes = 640 * 224 * 3 / 2;
  ReversePictureCache cache(21 * pictureBytes);
  StreamSource source;
  ASSERT_TRUE(source.open(path, false));
  source.setPositionToEnd();
  VideoDecoder decoder;
  decoder.Init(4);
  std::vector<std::uint8_t> frame(container::kFrameBufferSize);
  std::size_t shown = 0;
  std::size_t largest = 0;
  while (const std::uint32_t length = readOnward(source, frame.data(), true)) {
    if (source.header().isAudio || decoder.ParseHeader(frame.data(), length) == 0) {
      continue;
    }
    const std::uint64_t start = source.header().start;
    const YuvPicture* picture = nullptr;
    if (decoder.header().allCoded) {
      picture = cache.decodeRefresh(decoder, frame.data(), length);
    } else {
      if (cache.take(start) == nullptr) {
        cache.fill(source, decoder, frame.data(), start, ChannelSet(1));
      }
      const ReversePictureCache::Entry* entry = cache.take(start);
      picture = entry != nullptr ? &entry->picture : nullptr;
    }
    largest = std::max(largest, cache.bytesHeld());
    ASSERT_NE(picture, nullptr) << "at " << start;
    const auto expected = clean.find(source.getPosition());
    ASSERT_NE(expected, clean.end());
    ASSERT_EQ(picture->data, expected->second.picture.data) << "at " << start;
    ++shown;
  }
  EXPECT_GT(shown, 150u);
  EXPECT_LE(largest, 21 * pictureBytes);
}

}  // namespace
}  // namespace marlin::testing
