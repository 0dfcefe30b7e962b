// The scanner against the decoder: the macroblocks it says a picture codes
// are the ones the decoder writes, on every header variant and on damaged
// pictures.

#include "codec/picture_scan.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>

#include "codec/encoder/video_encoder.h"
#include "codec/video_decoder.h"
#include "codec_test_support.h"
#include "support/decoded_writes.h"

namespace marlin::codectest {
namespace {

using encoder::EncodeParams;
using encoder::VideoEncoder;

// What the decoder wrote of one picture, told by decoding it over two
// different fills: an intra block comes out the same over both.
struct DecodedWrites {
  bool decoded = false;
  int width = 0;
  std::vector<std::uint8_t> overDark;
  std::vector<std::uint8_t> overLight;

  bool lumaBlockWritten(int row, int column, int block) const {
    const int x0 = 16 * column + 8 * (block & 1);
    const int y0 = 16 * row + 8 * (block >> 1);
    for (int y = y0; y < y0 + 8; ++y) {
      for (int x = x0; x < x0 + 8; ++x) {
        if (overDark[y * width + x] != overLight[y * width + x]) {
          return false;
        }
      }
    }
    return true;
  }
  // The chroma blocks come with every coded macroblock.
  bool macroblockWritten(int row, int column, int height) const {
    return marlin::testing::macroblockWritten(overDark, overLight, width, height, row, column);
  }
  // The block's mean sample, or nothing where the transform clipped one.
  std::optional<int> lumaMean(int row, int column, int block) const {
    int sum = 0;
    for (int y = 0; y < 8; ++y) {
      for (int x = 0; x < 8; ++x) {
        const int sample = overDark[(16 * row + 8 * (block >> 1) + y) * width + 16 * column + 8 * (block & 1) + x];
        if (sample == 0 || sample == 255) {
          return std::nullopt;
        }
        sum += sample;
      }
    }
    return (sum + 32) / 64;
  }
};

DecodedWrites decodeOverFills(VideoDecoder& decoder, const Bytes& payload) {
  DecodedWrites writes;
  writes.width = decoder.GetWidth();
  writes.overDark.assign(VideoDecoder::kMaxPictureBytes, 0x00);
  writes.overLight.assign(VideoDecoder::kMaxPictureBytes, 0xFF);
  const bool dark = decoder.Decode(payload.data(), payload.size(), writes.overDark.data()) == 1;
  const bool light = decoder.Decode(payload.data(), payload.size(), writes.overLight.data()) == 1;
  EXPECT_EQ(dark, light);
  writes.decoded = dark;
  return writes;
}

// Compares the scan of payload with what the decoder writes. Where both
// fail, every macroblock the scan finished must have been written.
void expectScanAgreesWithDecoder(CodecVariant variant, const Bytes& payload, bool intact, int& pictures, int& damaged) {
  VideoDecoder decoder;
  decoder.Init(variant);
  if (decoder.ParseHeader(payload.data(), payload.size()) == 0) {
    return;
  }
  codec::PictureScan scan;
  const bool scanned = codec::scanPicture(payload.data(), payload.size(), decoder.header(), scan);
  const DecodedWrites writes = decodeOverFills(decoder, payload);
  ASSERT_EQ(scanned, writes.decoded);
  ++(scanned ? pictures : damaged);
  int coded = 0;
  for (int row = 0; row < scan.rows; ++row) {
    for (int column = 0; column < scan.columns; ++column) {
      const bool isCoded = scan.coded(row, column);
      coded += isCoded ? 1 : 0;
      if (!scanned) {
        ASSERT_TRUE(!isCoded || writes.macroblockWritten(row, column, decoder.GetHeight()));
        continue;
      }
      ASSERT_EQ(isCoded, writes.macroblockWritten(row, column, decoder.GetHeight())) << row << "," << column;
      if (!isCoded) {
        continue;
      }
      const codec::MacroblockScan& mb = scan.at(row, column);
      for (int block = 0; block < 4; ++block) {
        const bool written = writes.lumaBlockWritten(row, column, block);
        ASSERT_EQ(((mb.lumaPattern >> block) & 1) != 0, written) << row << "," << column << " block " << block;
        // The DC byte is the block's mean, up to the transform's rounding.
        const std::optional<int> mean = writes.lumaMean(row, column, block);
        if (intact && written && mean) {
          ASSERT_NEAR(mb.dc[block], *mean, 2) << row << "," << column;
        }
      }
    }
  }
  EXPECT_EQ(scan.codedCount, coded);
}

// The picture with every odd slice coding the row of the slice before it.
Bytes withPairedRows(CodecVariant variant, Bytes payload) {
  VideoDecoder decoder;
  decoder.Init(variant);
  if (decoder.ParseHeader(payload.data(), payload.size()) == 0) {
    ADD_FAILURE() << "the picture does not parse";
    return payload;
  }
  const codec::PictureHeader& header = decoder.header();
  for (std::size_t s = 1; s < header.sliceCount; s += 2) {
    // The row is the top five bits after the slice's start code.
    const std::uint8_t previousRow = payload[header.slices[s - 1] + 3] >> 3;
    std::uint8_t& rowByte = payload[header.slices[s] + 3];
    rowByte = static_cast<std::uint8_t>(previousRow << 3 | (rowByte & 0x07));
  }
  return payload;
}

TEST(PictureScan, AgreesWithTheDecoderOnEveryVariantAndOnDamagedPictures) {
  std::mt19937 random(20261210);
  int pictures = 0;
  int damaged = 0;
  for (CodecVariant variant = 0; variant < kVariantCount; ++variant) {
    SCOPED_TRACE(::testing::Message() << "variant " << variant);
    VideoEncoder encoder;
    const int height = variant % 2 == 0 ? 224 : 272;
    for (int t = 0; t < 4; ++t) {
      // A disc moving over a still scene: refresh first, then conditional
      // pictures that code where it was and where it is.
      EncodeParams params{.variant = variant, .quality = 2 + 3 * t, .channel = 1, .refresh = t == 0};
      const Bytes payload = encoder.encode(naturalPicture(640, height, 3, 0.2 + 0.1 * t, 0.5), params);
      expectScanAgreesWithDecoder(variant, payload, true, pictures, damaged);
      // Each odd slice moved onto the row before it: the later slice's
      // macroblocks are the ones that count, whatever order slices are read in.
      expectScanAgreesWithDecoder(variant, withPairedRows(variant, payload), true, pictures, damaged);
      const std::size_t firstSlice = 8;
      for (int mutation = 0; mutation < 40; ++mutation) {
        Bytes spoilt = payload;
        const int flips = 1 + mutation % 3;
        for (int f = 0; f < flips; ++f) {
          const std::size_t at = firstSlice + random() % (spoilt.size() - firstSlice);
          spoilt[at] ^= static_cast<std::uint8_t>(1u << (random() % 8));
        }
        expectScanAgreesWithDecoder(variant, spoilt, false, pictures, damaged);
      }
    }
  }
  // Both kinds were compared, not only skipped.
  EXPECT_GT(pictures, 200);
  EXPECT_GT(damaged, 100);
}

TEST(PictureScan, AConditionalPictureCodesOnlyWhereSomethingMoved) {
  VideoEncoder encoder;
  const YuvPicture still = naturalPicture(640, 224, 5, 0.3, 0.5);
  codec::PictureScan scan;
  VideoDecoder decoder;
  decoder.Init(4);
  const Bytes refresh = encoder.encode(still, {.quality = 4});
  ASSERT_NE(decoder.ParseHeader(refresh.data(), refresh.size()), 0u);
  ASSERT_TRUE(codec::scanPicture(refresh.data(), refresh.size(), decoder.header(), scan));
  EXPECT_EQ(scan.codedCount, 40 * 14);

  const Bytes same = encoder.encode(still, {.quality = 4, .refresh = false});
  ASSERT_NE(decoder.ParseHeader(same.data(), same.size()), 0u);
  ASSERT_TRUE(codec::scanPicture(same.data(), same.size(), decoder.header(), scan));
  EXPECT_EQ(scan.codedCount, 0);

  // The disc (about 6 macroblocks across) moved right by a quarter of its width.
  const Bytes moved = encoder.encode(naturalPicture(640, 224, 5, 0.31, 0.5), {.quality = 4, .refresh = false});
  ASSERT_NE(decoder.ParseHeader(moved.data(), moved.size()), 0u);
  ASSERT_TRUE(codec::scanPicture(moved.data(), moved.size(), decoder.header(), scan));
  EXPECT_GT(scan.codedCount, 4);
  for (int row = 0; row < scan.rows; ++row) {
    for (int column = 0; column < scan.columns; ++column) {
      if (scan.coded(row, column)) {
        // Around the disc at (0.3 x 640, 0.5 x 224) with radius 0.08 x 640.
        EXPECT_NEAR(16 * column + 8, 0.3 * 640, 0.08 * 640 + 40) << row << "," << column;
        EXPECT_NEAR(16 * row + 8, 0.5 * 224, 0.08 * 640 + 24) << row << "," << column;
      }
    }
  }
}

}  // namespace
}  // namespace marlin::codectest
