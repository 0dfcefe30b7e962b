#include "recognition/recognition.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>

#include "codec/video_decoder.h"
#include "engine/sample/sample_recording.h"
#include "source/container.h"
#include "source/stream_source.h"
#include "support/synthetic_recording.h"
#include "support/temp_dir.h"

namespace marlin {
namespace {

using testing::TempDir;
using testing::writeFile;

// What a reading of a recording shows: every video frame's block time and
// camera, and how many of its pictures decode.
struct ReadThrough {
  std::vector<std::pair<CalendarTime, std::uint32_t>> framesInTime;
  int decoded = 0;
  bool operator==(const ReadThrough&) const = default;
};

ReadThrough readThrough(const std::string& path, const RecordingReading& reading) {
  StreamSource source;
  source.setCodecVariant(reading.variant);
  EXPECT_TRUE(source.open(path, reading.isDisk()));
  VideoDecoder decoder;
  decoder.Init(reading.variant);
  std::vector<std::uint8_t> picture(VideoDecoder::kMaxPictureBytes);
  auto frame = std::make_unique<std::array<std::uint8_t, container::kFrameBufferSize>>();
  ReadThrough result;
  while (const std::uint32_t length = readOnward(source, frame->data(), false)) {
    if (source.header().isAudio) {
      continue;
    }
    result.framesInTime.emplace_back(source.header().blockTime, source.header().channel);
    result.decoded +=
        decoder.ParseHeader(frame->data(), length) != 0 && decoder.Decode(frame->data(), length, picture.data()) == 1;
  }
  return result;
}

std::vector<std::uint8_t> sampleOf(CodecVariant variant) {
  sample::SampleOptions options;
  options.variant = variant;
  options.seconds = 2;
  options.audio = true;
  options.conditional = true;
  return sample::makeSampleRecording(options);
}

bool readsAs(const Recognition& recognition, CodecVariant variant) {
  const auto& alike = recognition.readingAlike;
  return recognition.reading.variant == variant || std::find(alike.begin(), alike.end(), variant) != alike.end();
}

class RecognisingSamples : public ::testing::TestWithParam<CodecVariant> {
 protected:
  TempDir dir;
};

TEST_P(RecognisingSamples, FileAndDiskImageReadAsForcedWithoutOptions) {
  const CodecVariant variant = GetParam();
  std::vector<std::uint8_t> bytes = sampleOf(variant);
  const std::string file = dir.file("sample.QKV");
  writeFile(file, bytes);
  synth::toDiskByteOrder(bytes);
  const std::string image = dir.file("sample.img");
  writeFile(image, bytes);

  for (const auto& [path, order] : {std::pair{file, BlockByteOrder::File}, std::pair{image, BlockByteOrder::Disk}}) {
    SCOPED_TRACE(path);
    const Recognition recognition = recogniseRecording(path, {}, {});
    EXPECT_EQ(recognition.reading.byteOrder, order);
    EXPECT_EQ(recognition.byteOrder, Finding::Recognised);
    EXPECT_EQ(recognition.variant, Finding::Recognised);
    EXPECT_TRUE(readsAs(recognition, variant)) << describeRecognition(recognition);

    const ReadThrough forced = readThrough(path, {order, variant});
    EXPECT_GT(forced.decoded, 30);
    EXPECT_EQ(readThrough(path, recognition.reading), forced);
  }
}

INSTANTIATE_TEST_SUITE_P(EveryVariant, RecognisingSamples, ::testing::Range(0, kVariantCount));

class Recognising : public ::testing::Test {
 protected:
  std::string save(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    const std::string path = dir.file(name);
    writeFile(path, bytes);
    return path;
  }
  TempDir dir;
};

TEST_F(Recognising, BigEndianTimesAreToldFromLittleEndianOnes) {
  const std::string path = save("qkc.QKV", sampleOf(kVariantQkc));
  const Recognition recognition = recogniseRecording(path, {}, {});
  EXPECT_EQ(recognition.reading.variant, kVariantQkc);
  EXPECT_TRUE(recognition.readingAlike.empty());
  // Read little-endian, the times are years off.
  EXPECT_NE(readThrough(path, {BlockByteOrder::File, kVariantQkt2}).framesInTime,
            readThrough(path, recognition.reading).framesInTime);
}

TEST_F(Recognising, BigEndianBlocksOfOneSecondAreToldByTheirCameras) {
  sample::SampleOptions options;
  options.variant = kVariantQkc;
  options.seconds = 1;
  const std::string path = save("second.QKV", sample::makeSampleRecording(options));
  EXPECT_EQ(recogniseRecording(path, {}, {}).reading.variant, kVariantQkc);
}

TEST_F(Recognising, ForcedAspectsAreKept) {
  std::vector<std::uint8_t> bytes = sampleOf(kVariantQkc);
  synth::toDiskByteOrder(bytes);
  const std::string path = save("qkc.img", bytes);

  ForcedReading variantOnly;
  variantOnly.variant = kVariantQk4;
  const Recognition forcedVariant = recogniseRecording(path, variantOnly, {});
  EXPECT_EQ(forcedVariant.reading.variant, kVariantQk4);
  EXPECT_EQ(forcedVariant.variant, Finding::Forced);
  EXPECT_EQ(forcedVariant.reading.byteOrder, BlockByteOrder::Disk);
  EXPECT_EQ(forcedVariant.byteOrder, Finding::Recognised);

  // Forced to read it as a file, the variant is judged in that order: no
  // block is valid, so nothing is recognised.
  ForcedReading orderOnly;
  orderOnly.byteOrder = BlockByteOrder::File;
  const Recognition forcedOrder = recogniseRecording(path, orderOnly, {BlockByteOrder::File, kVariantQkt});
  EXPECT_EQ(forcedOrder.reading.byteOrder, BlockByteOrder::File);
  EXPECT_EQ(forcedOrder.byteOrder, Finding::Forced);
  EXPECT_EQ(forcedOrder.reading.variant, kVariantQkt);
  EXPECT_EQ(forcedOrder.variant, Finding::Usual);
}

TEST_F(Recognising, UnrecognisableInputKeepsTheUsualReading) {
  const RecordingReading usual{BlockByteOrder::File, kVariantQk9};
  // Blocks with frames of noise: valid, but no layout parses them.
  const std::string noise = save("noise.QKV", synth::makeSampleRecording({}));
  const Recognition noiseRecognition = recogniseRecording(noise, {}, usual);
  EXPECT_EQ(noiseRecognition.byteOrder, Finding::Recognised);
  EXPECT_EQ(noiseRecognition.reading.byteOrder, BlockByteOrder::File);
  EXPECT_EQ(noiseRecognition.variant, Finding::Usual);
  EXPECT_EQ(noiseRecognition.reading.variant, kVariantQk9);

  for (const std::string& path : {save("empty.QKV", {}), dir.file("missing.QKV")}) {
    const Recognition recognition = recogniseRecording(path, {}, usual);
    EXPECT_EQ(recognition.byteOrder, Finding::Usual);
    EXPECT_EQ(recognition.variant, Finding::Usual);
    EXPECT_EQ(recognition.reading.variant, kVariantQk9);
  }
}

TEST_F(Recognising, LooksNoFurtherThanTheLimit) {
  // Pictures of variant 0 begin just past the limit, after blocks that are
  // all invalid: nothing within the limit tells anything.
  std::vector<std::uint8_t> bytes(kRecognitionBytes, 0xA5);
  const std::vector<std::uint8_t> recording = sampleOf(kVariantQk4);
  bytes.insert(bytes.end(), recording.begin(), recording.end());
  const Recognition recognition = recogniseRecording(save("late.QKV", bytes), {}, {});
  EXPECT_EQ(recognition.byteOrder, Finding::Usual);
  EXPECT_EQ(recognition.variant, Finding::Usual);
  EXPECT_EQ(recognition.reading.variant, kVariantQkt2);
}

TEST(RecognitionText, SaysWhatWasFoundForcedOrAssumed) {
  Recognition recognition;
  recognition.reading = {BlockByteOrder::Disk, kVariantQkt2};
  recognition.byteOrder = Finding::Forced;
  recognition.variant = Finding::Recognised;
  recognition.readingAlike = {kVariantQk9, kVariantQkt};
  EXPECT_EQ(describeRecognition(recognition),
            "disk byte order (16-bit words swapped) (as asked), codec variant 4 QK_QKT2 "
            "(1, 3 read the same pictures and blocks)");
  recognition.reading = {BlockByteOrder::File, kVariantQk4};
  recognition.byteOrder = Finding::Recognised;
  recognition.variant = Finding::Usual;
  recognition.readingAlike.clear();
  EXPECT_EQ(describeRecognition(recognition), "file byte order, codec variant 0 QK_QK4 (not recognised, assumed)");
}

}  // namespace
}  // namespace marlin
