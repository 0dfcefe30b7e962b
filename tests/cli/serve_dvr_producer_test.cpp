// What serve-dvr makes of a recording before any socket is involved: the
// split screen puts each camera in its own cell, the live stream follows
// the recording picture for picture, in time, with its sound intact, and a
// client's share of it never holds more than its bound nor a picture it
// could not decode.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "app/cli/serve_dvr/feed_viewer.h"
#include "app/cli/serve_dvr/live_producer.h"
#include "app/cli/serve_dvr/split_composer.h"
#include "engine/sample/sample_recording.h"
#include "support/temp_dir.h"

namespace marlin::cli::serve_dvr {
namespace {

using std::chrono::microseconds;

YuvPicture flatPicture(int width, int height, std::uint8_t luma, std::uint8_t chroma) {
  YuvPicture picture;
  picture.resize(width, height);
  std::fill(picture.data.begin(), picture.data.begin() + width * height, luma);
  std::fill(picture.data.begin() + width * height, picture.data.end(), chroma);
  return picture;
}

std::uint8_t lumaAt(const YuvPicture& p, int x, int y) { return p.y()[y * p.width + x]; }
std::uint8_t cbAt(const YuvPicture& p, int x, int y) { return p.cb()[y * (p.width / 2) + x]; }

TEST(SplitComposer, FourCamerasTakeTheirQuartersRowByRow) {
  SplitComposer composer({640, 224}, 4, 0);
  for (int camera = 0; camera < 4; ++camera) {
    const auto value = static_cast<std::uint8_t>(40 + 40 * camera);
    ASSERT_TRUE(composer.place(camera, flatPicture(640, 224, value, value)));
  }
  EXPECT_FALSE(composer.place(4, flatPicture(640, 224, 0, 0))) << "camera 4 has no cell in a 2x2 split";
  const YuvPicture& p = composer.picture();
  const int expected[2][2] = {{40, 80}, {120, 160}};  // [row][column]
  for (int y = 0; y < 224; ++y) {
    for (int x = 0; x < 640; ++x) {
      ASSERT_EQ(lumaAt(p, x, y), expected[y / 112][x / 320]) << "luma at " << x << "," << y;
    }
  }
  for (int y = 0; y < 112; ++y) {
    for (int x = 0; x < 320; ++x) {
      ASSERT_EQ(cbAt(p, x, y), expected[y / 56][x / 160]) << "chroma at " << x << "," << y;
    }
  }
}

TEST(SplitComposer, NineCellsTileThePictureInEveryPlane) {
  SplitComposer composer({640, 272}, 9, 0);
  for (int camera = 0; camera < 9; ++camera) {
    const auto value = static_cast<std::uint8_t>(60 + 10 * camera);
    composer.place(camera, flatPicture(640, 272, value, value));
  }
  const YuvPicture& p = composer.picture();
  // Cells of 214/213/213 columns and 91/91/90 rows: uneven splits must
  // leave no line of the black background between them, in luma or chroma.
  for (std::size_t i = 0; i < p.data.size(); ++i) {
    ASSERT_GE(p.data[i], 60) << "sample " << i << " belongs to no cell";
  }
  EXPECT_EQ(lumaAt(p, 213, 90), 60);
  EXPECT_EQ(lumaAt(p, 214, 91), 100);
  EXPECT_EQ(lumaAt(p, 639, 271), 140);
  EXPECT_EQ(cbAt(p, 319, 135), 140);
}

struct Recorded {
  std::vector<std::vector<std::uint8_t>> pictures;  // per video frame in order, with its channel
  std::vector<int> channels;
  std::vector<std::uint8_t> sound;  // audio channel 0's samples in order
};

class LiveProducerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sample::SampleOptions sample;
    sample.channels = 4;
    sample.seconds = 2;
    sample.audio = true;
    sample.conditional = true;
    testing::writeFile(path, sample::makeSampleRecording(sample));
    options.recording.path = path;
    StreamSource source;
    ASSERT_TRUE(source.open(path, false));
    std::vector<std::uint8_t> frame(container::kFrameBufferSize);
    while (const std::uint32_t n = source.readNext(frame.data())) {
      if (source.header().isAudio) {
        recorded.sound.insert(recorded.sound.end(), frame.begin(), frame.begin() + n);
      } else {
        recorded.pictures.emplace_back(frame.begin(), frame.begin() + n);
        recorded.channels.push_back(static_cast<int>(source.header().channel));
      }
    }
  }

  // The recorded picture of a camera, as the recording's own decoder shows it.
  YuvPicture firstRecordedPicture(int camera) {
    VideoDecoder decoder;
    decoder.Init(options.recording.variant);
    for (std::size_t i = 0; i < recorded.pictures.size(); ++i) {
      if (recorded.channels[i] == camera) {
        return *store.decode(decoder, recorded.pictures[i].data(), recorded.pictures[i].size());
      }
    }
    return {};
  }

  // Decodes a live picture as a client does; null when it does not decode.
  const YuvPicture* decodeLive(const LiveItem& item) {
    return liveStore.decode(liveDecoder, item.bytes.data(), item.bytes.size());
  }

  static std::uint16_t sequenceOf(const LiveItem& item) {
    return static_cast<std::uint16_t>(item.bytes[5] << 8 | item.bytes[6]);
  }

  testing::TempDir dir;
  std::string path = dir.file("four.QKV");
  ProducerOptions options;
  Recorded recorded;
  PictureStore store;
  VideoDecoder liveDecoder = [] {
    VideoDecoder decoder;
    decoder.Init(kLiveStreamVariant);
    return decoder;
  }();
  PictureStore liveStore;
};

TEST_F(LiveProducerTest, SplitScreenFollowsTheRecordingPictureForPictureWithItsSound) {
  LiveProducer producer(options);
  std::vector<LiveItem> pictures;
  std::vector<std::uint8_t> sound;
  microseconds last{0};
  while (std::optional<LiveItem> item = producer.next()) {
    EXPECT_GE(item->due, last) << "items go out in time order";
    last = item->due;
    if (item->kind == LiveItem::Kind::Sound) {
      ASSERT_GE(item->bytes.size(), 6u);
      EXPECT_EQ(std::vector<std::uint8_t>(item->bytes.begin(), item->bytes.begin() + 4),
                (std::vector<std::uint8_t>{0x00, 0x00, 0x01, 0xFA}));
      sound.insert(sound.end(), item->bytes.begin() + 6, item->bytes.end());
    } else {
      pictures.push_back(std::move(*item));
    }
  }
  EXPECT_TRUE(producer.finished());
  EXPECT_EQ(producer.cameraMask(), 0x000F);
  EXPECT_EQ(sound, recorded.sound);
  ASSERT_EQ(pictures.size(), recorded.pictures.size());

  // The sample's pictures are two 16666 us fields apart.
  microseconds lastRefresh{-1'000'000};
  for (std::size_t k = 0; k < pictures.size(); ++k) {
    SCOPED_TRACE("picture " + std::to_string(k));
    const YuvPicture* picture = decodeLive(pictures[k]);
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->width, 640);
    EXPECT_EQ(picture->height, 224);
    EXPECT_EQ(pictures[k].due, microseconds(static_cast<long>(k) * 2 * 16666));
    EXPECT_EQ(liveDecoder.header().allCoded, pictures[k].refresh);
    if (k > 0) {
      EXPECT_GT(sequenceOf(pictures[k]), sequenceOf(pictures[k - 1]));
    }
    if (pictures[k].refresh) {
      EXPECT_GE(pictures[k].due - lastRefresh, std::chrono::seconds(1));
      lastRefresh = pictures[k].due;
    } else {
      EXPECT_LT(pictures[k].due - lastRefresh, std::chrono::seconds(1));
    }
  }
  EXPECT_TRUE(pictures.front().refresh);
}

double meanLumaDifference(const YuvPicture& a, const YuvPicture& b) {
  double sum = 0;
  for (int i = 0; i < a.width * a.height; ++i) {
    sum += std::abs(a.y()[i] - b.y()[i]);
  }
  return sum / (a.width * a.height);
}

TEST_F(LiveProducerTest, OneCameraAtAChosenPaceStartsOverWithLoop) {
  options.camera = 1;
  options.picturesPerSecond = 10;
  options.loop = true;
  LiveProducer producer(options);
  const auto cameraPictures =
      static_cast<std::size_t>(std::count(recorded.channels.begin(), recorded.channels.end(), 1));
  std::vector<LiveItem> pictures;
  while (pictures.size() < 2 * cameraPictures + 3) {
    std::optional<LiveItem> item = producer.next();
    ASSERT_TRUE(item) << "a looping stream does not end";
    if (item->kind == LiveItem::Kind::Picture) {
      EXPECT_EQ(item->due, microseconds(static_cast<long>(pictures.size()) * 100'000));
      pictures.push_back(std::move(*item));
    }
  }
  EXPECT_FALSE(producer.finished());

  const YuvPicture* first = decodeLive(pictures.front());
  ASSERT_NE(first, nullptr);
  const double toCamera1 = meanLumaDifference(*first, firstRecordedPicture(1));
  const double toCamera0 = meanLumaDifference(*first, firstRecordedPicture(0));
  EXPECT_LT(toCamera1, 4.0) << "camera 1 alone, at full size";
  EXPECT_GT(toCamera0, 4 * toCamera1);

  producer.refreshNext();
  while (std::optional<LiveItem> item = producer.next()) {
    if (item->kind == LiveItem::Kind::Picture) {
      EXPECT_TRUE(item->refresh) << "a new client starts from a whole picture";
      break;
    }
  }
}

TEST_F(LiveProducerTest, ACameraWithoutPicturesIsRefused) {
  options.camera = 5;
  try {
    LiveProducer producer(options);
    FAIL() << "camera 5 is not in the recording";
  } catch (const CommandError& error) {
    EXPECT_NE(std::string(error.what()).find("camera 5"), std::string::npos) << error.what();
  }
}

TEST(FeedViewer, KeepsItsBoundAndNeverHandsOnAPictureWithoutItsRefreshPicture) {
  const auto piece = [](LiveItem::Kind kind, bool refresh, std::size_t size) {
    return std::make_shared<const LiveItem>(LiveItem{kind, std::vector<std::uint8_t>(size), refresh, {}});
  };
  // Four fill the backlog.
  const auto picture = [&](bool refresh) {
    return piece(LiveItem::Kind::Picture, refresh, FeedViewer::kBacklogBytes / 4);
  };
  const auto sound = piece(LiveItem::Kind::Sound, false, 100);
  WakeSignal ready;
  FeedViewer viewer(ready);
  const auto kinds = [&] {
    std::string seen;
    for (const auto& item : viewer.take()) {
      seen += item->kind == LiveItem::Kind::Sound ? 's' : item->refresh ? 'R' : 'c';
    }
    return seen;
  };

  // A new viewer starts from a refresh picture; sound goes on meanwhile.
  for (const auto& item : {picture(false), sound, picture(true), picture(false)}) {
    viewer.offer(item);
  }
  EXPECT_TRUE(ready.wait(std::chrono::milliseconds(0)));
  EXPECT_EQ(kinds(), "sRc");

  // Full: the picture that does not fit is dropped, and those coded against
  // it too, even once there is room again, up to the next refresh picture.
  for (int i = 0; i < 5; ++i) {
    viewer.offer(picture(i == 0));
  }
  viewer.offer(sound);
  EXPECT_EQ(kinds(), "Rccc");
  for (const auto& item : {picture(false), sound, picture(true), picture(false)}) {
    viewer.offer(item);
  }
  EXPECT_EQ(kinds(), "sRc");
}

}  // namespace
}  // namespace marlin::cli::serve_dvr
