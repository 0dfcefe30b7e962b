// Samples whose motion is known: noisy still scenes, with a box moving only
// when and where the schedule says, as conditional pictures code them.
#include <gtest/gtest.h>

#include <cmath>
#include <map>

#include "codec/video_decoder.h"
#include "engine/sample/sample_recording.h"
#include "engine/sample/sensor_noise.h"
#include "source/container.h"
#include "source/stream_source.h"
#include "support/temp_dir.h"

namespace marlin::testing {
namespace {

using MacroblockMap = std::vector<std::vector<bool>>;  // [row][column]

// The macroblocks a conditional picture codes: the decoder writes only
// those, so they come out the same over a dark and a light fill.
MacroblockMap codedMacroblocks(VideoDecoder& decoder, const std::vector<std::uint8_t>& frame, std::size_t length) {
  std::vector<std::uint8_t> dark(VideoDecoder::kMaxPictureBytes, 0);
  std::vector<std::uint8_t> light(VideoDecoder::kMaxPictureBytes, 255);
  EXPECT_EQ(decoder.Decode(frame.data(), length, dark.data()), 1);
  EXPECT_EQ(decoder.Decode(frame.data(), length, light.data()), 1);
  const std::size_t width = static_cast<std::size_t>(decoder.GetWidth());
  const std::size_t cb = width * static_cast<std::size_t>(decoder.GetHeight());
  MacroblockMap coded(cb / width / 16, std::vector<bool>(width / 16, true));
  for (std::size_t i = cb; i < cb + cb / 4; ++i) {
    if (dark[i] != light[i]) {
      coded[(i - cb) / (width / 2) / 8][(i - cb) % (width / 2) / 8] = false;
    }
  }
  return coded;
}

bool hasCodedNeighbour(const MacroblockMap& coded, std::size_t row, std::size_t column) {
  for (std::size_t r = row == 0 ? 0 : row - 1; r <= row + 1 && r < coded.size(); ++r) {
    for (std::size_t c = column == 0 ? 0 : column - 1; c <= column + 1 && c < coded[r].size(); ++c) {
      if ((r != row || c != column) && coded[r][c]) {
        return true;
      }
    }
  }
  return false;
}

bool touches(const Rect& area, std::size_t row, std::size_t column) {
  const auto left = static_cast<int>(16 * column);
  const auto top = static_cast<int>(16 * row);
  return left < area.right && left + 16 > area.left && top < area.bottom && top + 16 > area.top;
}

const sample::MotionSpan* spanAt(const sample::SampleOptions& options, int channel, double seconds) {
  for (const sample::MotionSpan& span : options.motion) {
    if (static_cast<int>(span.channel) == channel && span.startSeconds <= seconds && seconds < span.endSeconds) {
      return &span;
    }
  }
  return nullptr;
}

TEST(SampleMotion, NoiseCodesNothingAndTheBoxCodesClustersInsideItsAreaDuringItsSpansOnly) {
  sample::SampleOptions options;
  options.channels = 2;
  options.seconds = 4;
  options.conditional = true;
  options.noiseSigma = 8;
  // Channel 1's box in an area of its own; channel 0's over the whole
  // picture, twice, resting in between.
  options.motion = {{1, 1.0, 3.0, Rect{320, 64, 560, 192}}, {0, 0.4, 1.2, {}}, {0, 2.5, 3.5, {}}};
  TempDir dir;
  const std::string path = dir.file("motion.QKV");
  writeFile(path, sample::makeSampleRecording(options));
  const double pictureSeconds = sample::samplePictureSeconds(options);
  const Rect wholePicture{0, 0, sample::kSamplePictureWidth, options.height};

  StreamSource source;
  ASSERT_TRUE(source.open(path, false));
  VideoDecoder decoder;
  decoder.Init(options.variant);
  std::vector<std::uint8_t> frame(container::kFrameBufferSize);
  std::map<int, const sample::MotionSpan*> previousSpan;  // of each channel's previous picture
  int stillPictures = 0;
  int movingPictures = 0;
  for (std::size_t index = 0; const std::uint32_t length = source.readNext(frame.data()); ++index) {
    ASSERT_NE(decoder.ParseHeader(frame.data(), length), 0u) << index;
    const double seconds = static_cast<double>(index) * pictureSeconds;
    const int channel = decoder.GetChannel();
    const sample::MotionSpan* span = spanAt(options, channel, seconds);
    const bool movedSincePrevious = span != nullptr && previousSpan[channel] == span;
    previousSpan[channel] = span;
    if (decoder.header().allCoded) {
      continue;
    }
    SCOPED_TRACE(::testing::Message() << "picture " << index << " of channel " << channel << " at " << seconds);
    const MacroblockMap coded = codedMacroblocks(decoder, frame, length);
    int clustered = 0;
    for (std::size_t row = 0; row < coded.size(); ++row) {
      for (std::size_t column = 0; column < coded[row].size(); ++column) {
        if (span == nullptr) {
          EXPECT_FALSE(coded[row][column]) << "macroblock " << row << "," << column << " outside the spans";
        } else if (coded[row][column] && hasCodedNeighbour(coded, row, column)) {
          ++clustered;
          EXPECT_TRUE(touches(span->area.value_or(wholePicture), row, column)) << "macroblock " << row << "," << column;
        }
      }
    }
    if (movedSincePrevious) {
      EXPECT_GE(clustered, 2);
      ++movingPictures;
    } else if (span == nullptr) {
      ++stillPictures;
    }
  }
  EXPECT_GT(movingPictures, 40);
  EXPECT_GT(stillPictures, 40);
}

TEST(SampleMotion, SensorNoiseIsBellShapedBoundedAndRepeatable) {
  constexpr double kSigma = 5.0;
  YuvPicture flat;
  flat.resize(640, 224);
  std::fill(flat.data.begin(), flat.data.end(), std::uint8_t{128});
  sample::SensorNoise noise(kSigma);
  std::vector<YuvPicture> noisy(3, flat);
  noise.addTo(noisy[0]);
  noise.addTo(noisy[1]);
  sample::SensorNoise(kSigma).addTo(noisy[2]);
  EXPECT_NE(noisy[0].data, noisy[1].data) << "fresh noise on every picture";
  EXPECT_EQ(noisy[0].data, noisy[2].data) << "the same noise every time";

  double squares = 0.0;
  int widest = 0;
  std::for_each(noisy[0].y(), noisy[0].cb(), [&](int sample) {
    squares += (sample - 128.0) * (sample - 128.0);
    widest = std::max(widest, std::abs(sample - 128));
  });
  EXPECT_NEAR(std::sqrt(squares / (640 * 224)), kSigma, 0.1);
  // Well past two sigma but never past three, which the change threshold of
  // conditional pictures counts on.
  EXPECT_GE(widest, 2.6 * kSigma);
  EXPECT_LE(widest, 3.0 * kSigma);
  EXPECT_TRUE(std::equal(noisy[0].cb(), noisy[0].data.data() + noisy[0].data.size(), flat.cb())) << "colour is kept";
}

}  // namespace
}  // namespace marlin::testing
