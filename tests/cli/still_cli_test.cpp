// marlin still: a camera's picture at a position, decoded from its last
// refresh picture, the same as reading the recording from its start shows.

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <memory>

#include "cli/run_marlin.h"
#include "codec/video_decoder.h"
#include "export/avi_formats.h"
#include "export/full_height_picture.h"
#include "source/stream_source.h"

namespace marlin::testing {
namespace {

// Camera `camera`'s first picture beginning at or after position, decoded
// with every picture of it before, as full-height bottom-up rows.
std::vector<std::uint8_t> decodedFromTheStart(std::uint64_t position, int camera, std::uint64_t& start) {
  StreamSource source;
  source.setCodecVariant(kVariantQkt2);
  EXPECT_TRUE(source.open(MARLIN_SAMPLE_RECORDING, false).isOk());
  VideoDecoder decoder;
  decoder.Init(kVariantQkt2);
  const auto frame = std::make_unique<std::array<std::uint8_t, container::kFrameBufferSize>>();
  std::vector<std::uint8_t> picture(VideoDecoder::kMaxPictureBytes);
  while (const std::uint32_t length = readOnward(source, frame->data(), false)) {
    if (source.header().isAudio || decoder.ParseHeader(frame->data(), length) == 0 || decoder.GetChannel() != camera) {
      continue;
    }
    EXPECT_EQ(decoder.Decode(frame->data(), length, picture.data()), 1);
    if (source.header().start >= position) {
      start = source.header().start;
      EXPECT_FALSE(decoder.header().allCoded) << "a conditional picture was meant";
      std::vector<std::uint8_t> full(dibRowBytes(640, 24) * 2 * decoder.GetHeight());
      fieldToFullHeight(picture.data(), 640, decoder.GetHeight(), full.data());
      return full;
    }
  }
  ADD_FAILURE() << "no picture of camera " << camera << " after " << position;
  return {};
}

TEST(StillCli, APictureInTheMiddleIsTheOneReadingFromTheStartShowsAndBadRequestsAreRefused) {
  TempDir dir;
  // Well past the sample's first refresh pictures: camera 2's picture there
  // is conditional and builds on pictures before it.
  const std::uint64_t position = 320000;
  std::uint64_t start = 0;
  const std::vector<std::uint8_t> expected = decodedFromTheStart(position, 1, start);
  const Result made = runMarlin(dir, {"still", MARLIN_SAMPLE_RECORDING, "--at", std::to_string(position), "--channel",
                                      "2", dir.file("still.bmp")});
  ASSERT_EQ(made.status, 0) << made;
  EXPECT_NE(made.out.find("picture at " + std::to_string(start)), std::string::npos) << made;
  const std::vector<std::uint8_t> bitmap = readFile(dir.file("still.bmp"));
  ASSERT_EQ(bitmap.size(), 54 + expected.size());
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), bitmap.begin() + 54));

  // The recording's first picture is a refresh picture: it is its own start.
  const Result first = runMarlin(dir, {"still", MARLIN_SAMPLE_RECORDING, "--at", "0", dir.file("first.bmp")});
  EXPECT_EQ(first.status, 0) << first;

  const Result png = runMarlin(
      dir, {"still", MARLIN_SAMPLE_RECORDING, "--at", "2010-01-01 12:00:05", "--stamp", dir.file("still.png")});
  ASSERT_EQ(png.status, 0) << png;
  const std::vector<std::uint8_t> pngBytes = readFile(dir.file("still.png"));
  ASSERT_GT(pngBytes.size(), 8u);
  EXPECT_EQ(std::string(pngBytes.begin() + 1, pngBytes.begin() + 4), "PNG");

  expectOneLineFailure(
      runMarlin(dir, {"still", MARLIN_SAMPLE_RECORDING, "--at", "0", "--channel", "9", dir.file("none.png")}),
      "camera 9 has no picture");
  const Result wrongKind = runMarlin(dir, {"still", MARLIN_SAMPLE_RECORDING, "--at", "0", dir.file("still.jpg")});
  expectOneLineFailure(wrongKind, "name the picture .png or .bmp");
  EXPECT_EQ(wrongKind.status, 2);

  // A picture name that is another name of the recording leaves it whole.
  const std::string recording = dir.file("recording.QKV");
  writeFile(recording, readFile(MARLIN_SAMPLE_RECORDING));
  std::filesystem::create_hard_link(recording, dir.file("recording.bmp"));
  const Result overwriting = runMarlin(dir, {"still", recording, "--at", "0", dir.file("recording.bmp")});
  EXPECT_EQ(overwriting.status, 1) << overwriting;
  EXPECT_EQ(readFile(recording), readFile(MARLIN_SAMPLE_RECORDING));
}

}  // namespace
}  // namespace marlin::testing
