#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <numeric>
#include <random>
#include <vector>

#include "codec/bit_reader.h"
#include "codec/picture_header.h"
#include "codec/quantiser.h"
#include "codec/slice_decoder.h"
#include "codec/video_decoder.h"
#include "codec_test_support.h"
#include "encoder/video_encoder.h"

namespace marlin::codectest {
namespace {

constexpr std::size_t kBuffer = VideoDecoder::kMaxPictureBytes;

// ---------------------------------------------------------------------------
// Picture header and slice scan.

// Header bytes followed by `count` minimal slices (start code, row byte, one
// data byte); ParseHeader does not look inside slices.
Bytes withSlices(Bytes payload, int count) {
  for (int s = 0; s < count; ++s) {
    payload.insert(payload.end(), {0x00, 0x00, 0x01, static_cast<std::uint8_t>((s % 17) << 3), 0x5A});
  }
  return payload;
}

Bytes refreshB(int quality = 4, int channel = 0) { return pictureStart(true, {layoutBByte(quality, channel)}); }

TEST(PictureHeader, SliceCountDecidesThePictureSize) {
  VideoDecoder decoder;
  decoder.Init(4);
  const Bytes p14 = withSlices(refreshB(), 14);
  EXPECT_EQ(decoder.ParseHeader(p14.data(), p14.size()), p14.size());
  EXPECT_EQ(decoder.GetWidth(), 640);
  EXPECT_EQ(decoder.GetHeight(), 224);

  const Bytes p17 = withSlices(refreshB(), 17);
  EXPECT_EQ(decoder.ParseHeader(p17.data(), p17.size()), p17.size());
  EXPECT_EQ(decoder.GetWidth(), 640);
  EXPECT_EQ(decoder.GetHeight(), 272);

  for (const int count : {0, 1, 13, 15, 16, 18, 20, 21, 40}) {
    const Bytes p = withSlices(refreshB(), count);
    EXPECT_EQ(decoder.ParseHeader(p.data(), p.size()), 0u) << count << " slices";
  }
}

TEST(PictureHeader, SliceOffsetsPointAtTheFirstZeroOfEachStartCode) {
  // Slices of different lengths so that the offsets are irregular.
  Bytes payload = refreshB();
  std::vector<std::uint32_t> expected;
  for (int s = 0; s < 14; ++s) {
    expected.push_back(static_cast<std::uint32_t>(payload.size()));
    payload.insert(payload.end(), {0x00, 0x00, 0x01, static_cast<std::uint8_t>(s << 3)});
    payload.insert(payload.end(), static_cast<std::size_t>(s % 5), 0x77);
  }
  VideoDecoder decoder;
  decoder.Init(4);
  ASSERT_NE(decoder.ParseHeader(payload.data(), payload.size()), 0u);
  ASSERT_EQ(decoder.header().sliceCount, 14u);
  for (std::size_t s = 0; s < 14; ++s) {
    EXPECT_EQ(decoder.header().slices[s], expected[s]) << s;
  }
}

TEST(PictureHeader, NextPictureStartCodeEndsTheSliceScan) {
  VideoDecoder decoder;
  decoder.Init(4);
  for (const int id : {0xF8, 0xF9, 0xFA, 0xFB, 0xFC, 0xFD}) {
    // 14 slices, the next picture's start code, 3 more slices: still 640x224,
    // and the scan stops at the start code's last byte.
    Bytes payload = withSlices(refreshB(), 14);
    const std::size_t stop = payload.size() + 3;
    payload.insert(payload.end(), {0x00, 0x00, 0x01, static_cast<std::uint8_t>(id)});
    payload = withSlices(payload, 3);
    EXPECT_EQ(decoder.ParseHeader(payload.data(), payload.size()), stop) << std::hex << id;
    EXPECT_EQ(decoder.GetHeight(), 224) << std::hex << id;
    EXPECT_EQ(decoder.header().sliceCount, 14u);
  }
  // 17 slices with a picture start code after the 14th: only 14 count.
  Bytes split = withSlices(refreshB(), 14);
  split.insert(split.end(), {0x00, 0x00, 0x01, 0xF8});
  split = withSlices(split, 3);
  ASSERT_NE(decoder.ParseHeader(split.data(), split.size()), 0u);
  EXPECT_EQ(decoder.GetHeight(), 224);
  // Just outside the stop range, 00 00 01 F7 and 00 00 01 FE count as slices.
  for (const int id : {0xF7, 0xFE}) {
    Bytes payload = withSlices(refreshB(), 13);
    payload.insert(payload.end(), {0x00, 0x00, 0x01, static_cast<std::uint8_t>(id)});
    EXPECT_EQ(decoder.ParseHeader(payload.data(), payload.size()), payload.size()) << std::hex << id;
    EXPECT_EQ(decoder.header().sliceCount, 14u);
  }
}

TEST(PictureHeader, LayoutAPacksAllCodedQualityAndChannelIntoOneByte) {
  VideoDecoder decoder;
  decoder.Init(0);
  // 0x85: all-coded 1, quality 0, channel value 5 (out of range, so 0).
  const Bytes p = withSlices(pictureStart(true, {0x85}), 14);
  ASSERT_NE(decoder.ParseHeader(p.data(), p.size()), 0u);
  EXPECT_EQ(decoder.GetChannel(), 0);
  EXPECT_EQ(decoder.header().quality, 0);
  EXPECT_TRUE(decoder.header().allCoded);
  std::vector<std::uint8_t> out(kBuffer);
  EXPECT_EQ(decoder.Decode(p.data(), p.size(), out.data()), 0);  // quality 0 cannot be decoded

  struct Case {
    std::uint8_t id, h4;
    int quality, channel;
    bool allCoded;
  };
  const Case cases[] = {
      {0xF9, 0x0B, 1, 3, false},  // all-coded comes from bit 7, not from the start code
      {0xF8, 0xF2, 14, 2, true},  {0xF9, 0x4C, 9, 0, false},  // channel 4 counts as 0
      {0xF8, 0x57, 10, 0, false},                             // channel 7 counts as 0
      {0xF9, 0x81, 0, 1, true},
  };
  for (const Case& c : cases) {
    const Bytes q = withSlices(Bytes{0x00, 0x00, 0x01, c.id, c.h4}, 14);
    ASSERT_NE(decoder.ParseHeader(q.data(), q.size()), 0u) << std::hex << int(c.h4);
    EXPECT_EQ(decoder.header().quality, c.quality) << std::hex << int(c.h4);
    EXPECT_EQ(decoder.GetChannel(), c.channel) << std::hex << int(c.h4);
    EXPECT_EQ(decoder.header().allCoded, c.allCoded) << std::hex << int(c.h4);
  }
}

TEST(PictureHeader, LayoutBTakesAllCodedFromTheStartCode) {
  for (const CodecVariant variant : {1, 3, 4, 6}) {
    VideoDecoder decoder;
    decoder.Init(variant);
    const Bytes conditional = withSlices(pictureStart(false, {0x3A}), 14);
    ASSERT_NE(decoder.ParseHeader(conditional.data(), conditional.size()), 0u) << variant;
    EXPECT_EQ(decoder.header().quality, 3);
    EXPECT_EQ(decoder.GetChannel(), 10);
    EXPECT_FALSE(decoder.header().allCoded);
    const Bytes refresh = withSlices(pictureStart(true, {0xEF}), 17);
    ASSERT_NE(decoder.ParseHeader(refresh.data(), refresh.size()), 0u) << variant;
    EXPECT_EQ(decoder.header().quality, 14);
    EXPECT_EQ(decoder.GetChannel(), 15);
    EXPECT_TRUE(decoder.header().allCoded);
  }
}

TEST(PictureHeader, LayoutCKeepsTheSixteenBitValueAndHasOnlyChannelZero) {
  VideoDecoder decoder;
  decoder.Init(2);
  // H4 0x9A: all-coded 1, quality 3; its low bits (2) are not a channel.
  const Bytes p = withSlices(pictureStart(false, {0x9A, 0xBE, 0xEF}), 14);
  ASSERT_NE(decoder.ParseHeader(p.data(), p.size()), 0u);
  EXPECT_EQ(decoder.header().quality, 3);
  EXPECT_EQ(decoder.GetChannel(), 0);
  EXPECT_TRUE(decoder.header().allCoded);
  EXPECT_EQ(decoder.header().extraValue, 0xBEEF);
  const Bytes q = withSlices(pictureStart(true, {0x28, 0x00, 0x01}), 14);
  ASSERT_NE(decoder.ParseHeader(q.data(), q.size()), 0u);
  EXPECT_EQ(decoder.header().quality, 5);
  EXPECT_FALSE(decoder.header().allCoded);
  EXPECT_EQ(decoder.header().extraValue, 0x0001);
}

TEST(PictureHeader, LayoutDCarriesTheDualPictureFields) {
  VideoDecoder decoder;
  decoder.Init(5);
  // H5 0xAC = 1 0101 1 0 0: dual, second channel 5, first half hidden.
  const Bytes p = withSlices(pictureStart(true, {0x3A, 0xAC}), 14);
  ASSERT_NE(decoder.ParseHeader(p.data(), p.size()), 0u);
  const codec::PictureHeader& h = decoder.header();
  EXPECT_EQ(h.quality, 3);
  EXPECT_EQ(h.channel, 10);
  EXPECT_EQ(h.firstChannel, 10);
  EXPECT_TRUE(h.allCoded);
  EXPECT_TRUE(h.dual);
  EXPECT_EQ(h.secondChannel, 5);
  EXPECT_TRUE(h.firstHidden);
  EXPECT_FALSE(h.secondHidden);
  // H5 0x7A = 0 1111 0 1 0: single picture, second channel 15, second half hidden.
  const Bytes q = withSlices(pictureStart(false, {0x21, 0x7A}), 17);
  ASSERT_NE(decoder.ParseHeader(q.data(), q.size()), 0u);
  EXPECT_EQ(h.quality, 2);
  EXPECT_EQ(h.channel, 1);
  EXPECT_FALSE(h.allCoded);
  EXPECT_FALSE(h.dual);
  EXPECT_EQ(h.secondChannel, 15);
  EXPECT_FALSE(h.firstHidden);
  EXPECT_TRUE(h.secondHidden);
}

TEST(PictureHeader, EachVariantReadsItsOwnLayout) {
  // The same bytes read per layout: H4 0xB5, H5 0x00.
  //   A: all-coded 1, quality 6, channel 5 -> 0.  B and D: quality 11, channel 5.  C: quality 6, channel 0.
  struct Expect {
    int quality, channel;
  };
  const Expect expected[7] = {{6, 0}, {11, 5}, {6, 0}, {11, 5}, {11, 5}, {11, 5}, {11, 5}};
  for (CodecVariant variant = 0; variant < 7; ++variant) {
    VideoDecoder decoder;
    EXPECT_EQ(decoder.Init(variant), 1);
    const Bytes p = withSlices(pictureStart(false, {0xB5, 0x00, 0x00}), 14);
    ASSERT_NE(decoder.ParseHeader(p.data(), p.size()), 0u) << variant;
    EXPECT_EQ(decoder.header().quality, expected[variant].quality) << variant;
    EXPECT_EQ(decoder.GetChannel(), expected[variant].channel) << variant;
    EXPECT_EQ(decoder.header().allCoded, variant == 0 || variant == 2) << variant;
  }
}

TEST(PictureHeader, RejectsShortPayloadsForeignStartCodesAndQualityFifteen) {
  VideoDecoder decoder;
  decoder.Init(4);
  const Bytes valid = withSlices(refreshB(), 14);
  EXPECT_EQ(decoder.ParseHeader(valid.data(), 5), 0u);  // exactly 5 bytes
  EXPECT_EQ(decoder.ParseHeader(valid.data(), 0), 0u);
  EXPECT_EQ(decoder.ParseHeader(nullptr, 0), 0u);
  const Bytes six = {0x00, 0x00, 0x01, 0xF9, 0x40, 0x00};
  EXPECT_EQ(decoder.ParseHeader(six.data(), six.size()), 0u);

  for (const Bytes& start : {Bytes{0x00, 0x00, 0x01, 0xF7}, Bytes{0x00, 0x00, 0x01, 0xFA}, Bytes{0x00, 0x00, 0x00, 0xF9},
                            Bytes{0x01, 0x00, 0x01, 0xF9}, Bytes{0x00, 0x01, 0x01, 0xF8}}) {
    Bytes p = start;
    p.push_back(0x40);
    p = withSlices(p, 14);
    EXPECT_EQ(decoder.ParseHeader(p.data(), p.size()), 0u);
  }

  struct Case {
    CodecVariant variant;
    Bytes header;
  };
  const Case quality15[] = {
      {0, {0x00, 0x00, 0x01, 0xF9, 0xF8}},
      {4, {0x00, 0x00, 0x01, 0xF9, 0xF0}},
      {2, {0x00, 0x00, 0x01, 0xF9, 0x78, 0x00, 0x00}},
      {5, {0x00, 0x00, 0x01, 0xF8, 0xF3, 0x00}},
  };
  for (const Case& c : quality15) {
    decoder.Init(c.variant);
    const Bytes p = withSlices(c.header, 14);
    EXPECT_EQ(decoder.ParseHeader(p.data(), p.size()), 0u) << "variant " << c.variant;
  }
}

TEST(PictureHeader, DecodeRefusesUntilAPictureHasBeenParsed) {
  const Bytes picture = flatPicture(14, 90);
  std::vector<std::uint8_t> out(kBuffer, 0x11);
  VideoDecoder fresh;
  fresh.Init(4);
  EXPECT_EQ(fresh.GetWidth(), 0);
  EXPECT_EQ(fresh.GetHeight(), 0);
  EXPECT_EQ(fresh.Decode(picture.data(), picture.size(), out.data()), 0);
  EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](std::uint8_t b) { return b == 0x11; }));

  ASSERT_NE(fresh.ParseHeader(picture.data(), picture.size()), 0u);
  EXPECT_EQ(fresh.Decode(nullptr, picture.size(), out.data()), 0);
  EXPECT_EQ(fresh.Decode(picture.data(), 4, out.data()), 0);
  EXPECT_EQ(fresh.Decode(picture.data(), picture.size(), out.data()), 1);
  // Init forgets the size: decoding needs a new parse.
  fresh.Init(4);
  EXPECT_EQ(fresh.GetWidth(), 0);
  EXPECT_EQ(fresh.Decode(picture.data(), picture.size(), out.data()), 0);
}

// ---------------------------------------------------------------------------
// Block coefficients.

struct BlockRead {
  bool ok = false;
  bool onlyDc = false;
  std::array<std::int16_t, 64> coefficients{};
  std::uint32_t marker = 0;  // the 8 bits after the block
};

// Decodes one block from the bits written by body, at quality; a marker
// byte 0xA5 follows so that the number of bits consumed can be checked.
BlockRead readBlock(int quality, const SliceBody& body) {
  Bytes bytes;
  {
    encoder::BitWriter bits(bytes);
    body(bits);
    bits.write(0xA5, 8);
    bits.align();
  }
  codec::BitReader reader(bytes.data(), bytes.size(), 0);
  codec::ScaledQuantiser quantiser;
  BlockRead result;
  result.coefficients.fill(0x7777);  // must be cleared by the reader
  result.ok = codec::readBlockCoefficients(reader, quantiser.forQuality(quality), result.coefficients.data(),
                                           result.onlyDc);
  if (result.ok) {
    result.marker = reader.read(8);
  }
  return result;
}

std::array<std::int16_t, 64> coefficientsWith(std::initializer_list<std::pair<int, int>> entries) {
  std::array<std::int16_t, 64> c{};
  for (const auto& [index, value] : entries) {
    c[static_cast<std::size_t>(index)] = static_cast<std::int16_t>(value);
  }
  return c;
}

TEST(BlockCoefficients, DcWithEndOfBlockIsAFlatBlock) {
  const BlockRead r = readBlock(4, [](encoder::BitWriter& bits) { writeFlatBlock(bits, 200); });
  ASSERT_TRUE(r.ok);
  EXPECT_TRUE(r.onlyDc);
  EXPECT_EQ(r.coefficients, coefficientsWith({{0, 1600}}));
  EXPECT_EQ(r.marker, 0xA5u);
  for (const codec::IdctKernel* kernel : codec::supportedIdcts()) {
    auto block = r.coefficients;
    std::uint8_t pixels[64];
    kernel->transform(block.data(), pixels, 8);
    EXPECT_TRUE(std::all_of(std::begin(pixels), std::end(pixels), [](std::uint8_t p) { return p == 200; }))
        << kernel->name;
  }
}

TEST(BlockCoefficients, FirstAcCodeElevenIsRunZeroLevelOne) {
  // W[1] = 16: with quality 4 the coefficient is (1 x 16 x 4) >> 2 = 16.
  const BlockRead negative = readBlock(4, [](encoder::BitWriter& bits) {
    bits.write(100, 8);
    writeBits(bits, "11 1 10");
  });
  ASSERT_TRUE(negative.ok);
  EXPECT_FALSE(negative.onlyDc);
  EXPECT_EQ(negative.coefficients, coefficientsWith({{0, 800}, {1, -16}}));
  EXPECT_EQ(negative.marker, 0xA5u);
  const BlockRead positive = readBlock(4, [](encoder::BitWriter& bits) {
    bits.write(100, 8);
    writeBits(bits, "11 0 10");
  });
  ASSERT_TRUE(positive.ok);
  EXPECT_EQ(positive.coefficients, coefficientsWith({{0, 800}, {1, 16}}));
}

TEST(BlockCoefficients, RunsAdvanceAlongTheZigzagScan) {
  // Zig-zag positions 1..9 are natural indices 1, 8, 16, 9, 2, 3, 10, 17, 24;
  // the default intra matrix has W[1]=16 W[8]=16 W[16]=19 W[2]=19 W[3]=22 W[24]=22.
  const BlockRead r = readBlock(4, [](encoder::BitWriter& bits) {
    bits.write(10, 8);
    writeBits(bits, "0101 0");      // run 2 level 1: position 3 -> index 16, +19
    writeBits(bits, "011 1");       // run 1 level 1: position 5 -> index 2, -19
    writeBits(bits, "0100 0");      // run 0 level 2: position 6 -> index 3, 2 x 22 = +44
    writeBits(bits, "000110 1");    // run 1 level 2: position 8 -> index 17, W 22: -44
    writeBits(bits, "11 0");        // position 9 -> index 24, +22
    writeBits(bits, "10");
  });
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.coefficients, coefficientsWith({{0, 80}, {16, 19}, {2, -19}, {3, 44}, {17, -44}, {24, 22}}));
  EXPECT_EQ(r.marker, 0xA5u);
}

TEST(BlockCoefficients, EscapeLevelBytes) {
  // Escape, run 0 (position 1, W 16) at quality 1: coefficient = magnitude x 16 >> 2 = 4 x magnitude.
  struct Case {
    const char* levelBits;
    int expected;
  };
  const Case cases[] = {
      {"00000000 11001000", 800},   // 0x00 then 0xC8: +200
      {"10000000 00111000", -800},  // 0x80 then 0x38: -(256 - 56) = -200
      {"11111111", -4},             // 0xFF: -1
      {"10000001", -508},           // 0x81: -127
      {"01111111", 508},            // 0x7F: +127
      {"00000001", 4},              // 0x01: +1
      {"00000000 00000001", 4},     // 0x00 then 0x01: +1
      {"10000000 00000000", 0},     // 0x80 then 0x00: magnitude (256 - 0) mod 256 = 0
  };
  for (const Case& c : cases) {
    const BlockRead r = readBlock(1, [&](encoder::BitWriter& bits) {
      bits.write(16, 8);
      writeBits(bits, "000001 000000");
      writeBits(bits, c.levelBits);
      writeBits(bits, "10");
    });
    ASSERT_TRUE(r.ok) << c.levelBits;
    EXPECT_EQ(r.coefficients, coefficientsWith({{0, 128}, {1, c.expected}})) << c.levelBits;
    EXPECT_EQ(r.marker, 0xA5u) << c.levelBits;
  }
  // The escape's run counts like a table run: run 5 lands on position 6, index 3 (W 22).
  const BlockRead r = readBlock(1, [](encoder::BitWriter& bits) {
    bits.write(16, 8);
    writeBits(bits, "000001 000101 00000000 11001000");  // +200: 200 x 22 >> 2 = 1100
    writeBits(bits, "000001 000000 10000000 00111000");  // next position 7, index 10 (W 22): -1100
    writeBits(bits, "10");
  });
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.coefficients, coefficientsWith({{0, 128}, {3, 1100}, {10, -1100}}));
}

TEST(BlockCoefficients, LargeMagnitudesSaturateAtTwelveBits) {
  // Escape run 62 reaches position 63, index 63 (W 83): 255 x 83 x 14 >> 2 = 74077.
  const BlockRead positive = readBlock(14, [](encoder::BitWriter& bits) {
    bits.write(1, 8);
    writeBits(bits, "000001 111110 00000000 11111111 10");
  });
  ASSERT_TRUE(positive.ok);
  EXPECT_EQ(positive.coefficients, coefficientsWith({{0, 8}, {63, 2047}}));
  const BlockRead negative = readBlock(14, [](encoder::BitWriter& bits) {
    bits.write(1, 8);
    writeBits(bits, "000001 111110 10000000 00000001 10");
  });
  ASSERT_TRUE(negative.ok);
  EXPECT_EQ(negative.coefficients, coefficientsWith({{0, 8}, {63, -2048}}));
  // Exactly 2048 (64 x 16 x 8 >> 2 at index 1): positive caps at 2047, negative keeps -2048.
  const BlockRead edge = readBlock(8, [](encoder::BitWriter& bits) {
    bits.write(1, 8);
    writeBits(bits, "000001 000000 01000000");  // +64 at position 1
    writeBits(bits, "000001 000000 11000000");  // -64 at position 2, index 8 (W 16)
    writeBits(bits, "10");
  });
  ASSERT_TRUE(edge.ok);
  EXPECT_EQ(edge.coefficients, coefficientsWith({{0, 8}, {1, 2047}, {8, -2048}}));
}

TEST(BlockCoefficients, ScanPositionPastSixtyThreeFails) {
  // Run 62 ends on position 63: valid.
  EXPECT_TRUE(readBlock(2, [](encoder::BitWriter& bits) {
                bits.write(50, 8);
                writeBits(bits, "000001 111110 00000001 10");
              }).ok);
  // Run 63 from position 1 reaches 64.
  EXPECT_FALSE(readBlock(2, [](encoder::BitWriter& bits) {
                 bits.write(50, 8);
                 writeBits(bits, "000001 111111 00000001 10");
               }).ok);
  // Position 63 followed by any further coefficient.
  EXPECT_FALSE(readBlock(2, [](encoder::BitWriter& bits) {
                 bits.write(50, 8);
                 writeBits(bits, "000001 111110 00000001 11 0 10");
               }).ok);
  // A table run that overshoots: 62 single coefficients then run 1.
  EXPECT_FALSE(readBlock(2, [](encoder::BitWriter& bits) {
                 bits.write(50, 8);
                 for (int i = 0; i < 62; ++i) {
                   writeBits(bits, "11 0");
                 }
                 writeBits(bits, "011 0 10");
               }).ok);
}

TEST(BlockCoefficients, TwelveLeadingZerosAreNotACode) {
  EXPECT_FALSE(readBlock(2, [](encoder::BitWriter& bits) {
                 bits.write(50, 8);
                 writeBits(bits, "000000000000 1111 10");
               }).ok);
  EXPECT_FALSE(readBlock(2, [](encoder::BitWriter& bits) {
                 bits.write(50, 8);
                 writeBits(bits, "11 0 0000000000000000 1");
               }).ok);
  // Eleven zeros still start a valid code (run 1, level 15).
  const BlockRead r = readBlock(1, [](encoder::BitWriter& bits) {
    bits.write(50, 8);
    writeBits(bits, "0000000000010011 0 10");
  });
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.coefficients, coefficientsWith({{0, 400}, {8, 15 * 16 / 4}}));  // position 2, index 8
}

// ---------------------------------------------------------------------------
// Whole pictures.

struct Planes {
  std::uint8_t* y;
  std::uint8_t* cb;
  std::uint8_t* cr;
};

Planes planesOf(std::vector<std::uint8_t>& buffer, int height) {
  std::uint8_t* y = buffer.data();
  return {y, y + 640 * height, y + 640 * height + 640 * height / 4};
}

void fillBlock(std::uint8_t* plane, int stride, int x, int y, std::uint8_t value) {
  for (int row = 0; row < 8; ++row) {
    std::fill_n(plane + (y + row) * stride + x, 8, value);
  }
}

// Writes block j of macroblock (column, row) as the placement table says.
void fillMacroblockBlock(const Planes& p, int column, int row, int j, std::uint8_t value) {
  switch (j) {
    case 0:
      return fillBlock(p.y, 640, 16 * column, 16 * row, value);
    case 1:
      return fillBlock(p.y, 640, 16 * column + 8, 16 * row, value);
    case 2:
      return fillBlock(p.y, 640, 16 * column, 16 * row + 8, value);
    case 3:
      return fillBlock(p.y, 640, 16 * column + 8, 16 * row + 8, value);
    case 4:
      return fillBlock(p.cb, 320, 8 * column, 8 * row, value);
    default:
      return fillBlock(p.cr, 320, 8 * column, 8 * row, value);
  }
}

std::vector<std::uint8_t> sentinelBuffer() {
  std::vector<std::uint8_t> buffer(kBuffer);
  for (std::size_t i = 0; i < buffer.size(); ++i) {
    buffer[i] = static_cast<std::uint8_t>(i * 7 + i / 640);
  }
  return buffer;
}

int decodeInto(VideoDecoder& decoder, const Bytes& payload, std::vector<std::uint8_t>& out) {
  if (decoder.ParseHeader(payload.data(), payload.size()) == 0) {
    return -1;
  }
  return decoder.Decode(payload.data(), payload.size(), out.data());
}

TEST(PictureDecoding, FlatDcPictureFillsEveryPlane) {
  for (const int rows : {14, 17}) {
    VideoDecoder decoder;
    decoder.Init(4);
    const Bytes payload = flatPicture(rows, 200);
    std::vector<std::uint8_t> out(kBuffer, 0);
    ASSERT_EQ(decodeInto(decoder, payload, out), 1) << rows;
    const std::size_t size = 640u * 16 * rows * 3 / 2;
    EXPECT_TRUE(std::all_of(out.begin(), out.begin() + size, [](std::uint8_t b) { return b == 200; })) << rows;
    EXPECT_TRUE(std::all_of(out.begin() + size, out.end(), [](std::uint8_t b) { return b == 0; })) << rows;
  }
}

TEST(PictureDecoding, BlocksLandWhereTheirRowColumnAndIndexSay) {
  // Slices in scrambled order: each one's row comes from its own header.
  const auto dcOf = [](int row, int column, int j) { return 1 + (row * 37 + column * 11 + j * 41) % 254; };
  std::vector<int> order(17);
  std::iota(order.begin(), order.end(), 0);
  std::shuffle(order.begin(), order.end(), std::mt19937(5));
  Bytes payload = refreshB(3);
  for (const int row : order) {
    appendFlatSlice(payload, row, [&](int column, int j) { return dcOf(row, column, j); });
  }
  std::vector<std::uint8_t> expected(kBuffer, 0xEE);
  const Planes e = planesOf(expected, 272);
  for (int row = 0; row < 17; ++row) {
    for (int column = 0; column < 40; ++column) {
      for (int j = 0; j < 6; ++j) {
        fillMacroblockBlock(e, column, row, j, static_cast<std::uint8_t>(dcOf(row, column, j)));
      }
    }
  }
  VideoDecoder decoder;
  decoder.Init(4);
  std::vector<std::uint8_t> out(kBuffer, 0xEE);
  ASSERT_EQ(decodeInto(decoder, payload, out), 1);
  EXPECT_EQ(out, expected);
}

TEST(PictureDecoding, BlocksWithAcCoefficientsAreInverseTransformed) {
  // Macroblock 0 of row 0 carries AC codes in luma block 1; all other blocks flat 60.
  Bytes payload = refreshB(4);
  appendSlice(payload, 0, [](encoder::BitWriter& bits) {
    for (int column = 0; column < 40; ++column) {
      for (int j = 0; j < 6; ++j) {
        bits.write(60, 8);
        if (column == 0 && j == 1) {
          writeBits(bits, "11 0");       // index 1: +16
          writeBits(bits, "0100 1");     // index 8: -(2 x 16 x 4 >> 2) = -32
          writeBits(bits, "00101 0");    // run 0 level 3 at index 16: 3 x 19 = +57
        }
        writeBits(bits, "10");
      }
    }
  });
  for (int row = 1; row < 14; ++row) {
    appendFlatSlice(payload, row, [](int, int) { return 60; });
  }
  for (const codec::IdctKernel* kernel : codec::supportedIdcts()) {
    IdctSelectionGuard guard;
    codec::selectIdct(*kernel);
    VideoDecoder decoder;
    decoder.Init(4);
    EXPECT_STREQ(decoder.transformName(), kernel->name);
    std::vector<std::uint8_t> out(kBuffer, 0);
    ASSERT_EQ(decodeInto(decoder, payload, out), 1);
    auto coefficients = coefficientsWith({{0, 480}, {1, 16}, {8, -32}, {16, 57}});
    std::uint8_t expected[64];
    kernel->transform(coefficients.data(), expected, 8);
    for (int r = 0; r < 8; ++r) {
      for (int c = 0; c < 8; ++c) {
        ASSERT_EQ(out[r * 640 + 8 + c], expected[r * 8 + c]) << kernel->name << " " << r << "," << c;
      }
    }
    // The block is not flat, and its neighbours are untouched by it.
    EXPECT_NE(expected[0], expected[63]);
    EXPECT_EQ(out[7], 60);
    EXPECT_EQ(out[16], 60);
    EXPECT_EQ(out[8 * 640 + 8], 60);
  }
}

TEST(PictureDecoding, SliceRowOutsideThePictureFailsAndKeepsEarlierSlices) {
  // Row 16 is valid in a 17-slice picture and invalid in a 14-slice one.
  for (const int badRow : {14, 16, 30}) {
    Bytes payload = refreshB(4);
    for (int s = 0; s < 14; ++s) {
      appendFlatSlice(payload, s == 5 ? badRow : s, [](int, int) { return 33; });
    }
    VideoDecoder decoder;
    decoder.Init(4);
    std::vector<std::uint8_t> out = sentinelBuffer();
    std::vector<std::uint8_t> expected = out;
    const Planes e = planesOf(expected, 224);
    for (int row = 0; row < 5; ++row) {
      for (int column = 0; column < 40; ++column) {
        for (int j = 0; j < 6; ++j) {
          fillMacroblockBlock(e, column, row, j, 33);
        }
      }
    }
    EXPECT_EQ(decodeInto(decoder, payload, out), 0) << badRow;
    EXPECT_EQ(out, expected) << badRow;
  }
  Bytes tall = refreshB(4);
  for (int s = 0; s < 17; ++s) {
    appendFlatSlice(tall, 16 - s, [](int, int) { return 33; });
  }
  VideoDecoder decoder;
  decoder.Init(4);
  std::vector<std::uint8_t> out(kBuffer);
  EXPECT_EQ(decodeInto(decoder, tall, out), 1);
}

TEST(PictureDecoding, SliceThatDoesNotStartWithAStartCodeFails) {
  const Bytes payload = flatPicture(14, 70);
  codec::PictureHeader header;
  ASSERT_NE(codec::parsePictureHeader(payload.data(), payload.size(), codec::HeaderLayout::B, header), 0u);
  codec::ScaledQuantiser quantiser;
  std::vector<std::uint8_t> out(kBuffer);
  ASSERT_TRUE(codec::decodeSlices(payload.data(), payload.size(), header, quantiser.forQuality(4),
                                  codec::portableIdct().transform, out.data()));
  for (const std::int64_t shift : {-1, 1, 2, 3}) {
    codec::PictureHeader bogus = header;
    bogus.slices[7] = static_cast<std::uint32_t>(bogus.slices[7] + shift);
    EXPECT_FALSE(codec::decodeSlices(payload.data(), payload.size(), bogus, quantiser.forQuality(4),
                                     codec::portableIdct().transform, out.data()))
        << shift;
  }
}

// Conditional pictures (layout B, start code F8).
Bytes conditionalPicture(const std::function<void(int row, encoder::BitWriter&)>& body) {
  Bytes payload = pictureStart(false, {layoutBByte(4, 0)});
  for (int row = 0; row < 14; ++row) {
    appendSlice(payload, row, [&](encoder::BitWriter& bits) { body(row, bits); });
  }
  return payload;
}

void endSlice(encoder::BitWriter& bits) { bits.write(0, 6); }

TEST(ConditionalPicture, AddressIncrementZeroFirstWritesNothing) {
  const Bytes payload = conditionalPicture([](int, encoder::BitWriter& bits) { endSlice(bits); });
  VideoDecoder decoder;
  decoder.Init(4);
  std::vector<std::uint8_t> out = sentinelBuffer();
  const std::vector<std::uint8_t> before = out;
  ASSERT_EQ(decodeInto(decoder, payload, out), 1);
  EXPECT_FALSE(decoder.header().allCoded);
  EXPECT_EQ(out, before);
}

TEST(ConditionalPicture, PatternZeroStillCodesBothChromaBlocks) {
  // Row 3: increment 1 (column 0), pattern 0000, Cb 50, Cr 60, end.
  const Bytes payload = conditionalPicture([](int row, encoder::BitWriter& bits) {
    if (row == 3) {
      bits.write(1, 6);
      bits.write(0, 4);
      writeFlatBlock(bits, 50);
      writeFlatBlock(bits, 60);
    }
    endSlice(bits);
  });
  VideoDecoder decoder;
  decoder.Init(4);
  std::vector<std::uint8_t> out = sentinelBuffer();
  std::vector<std::uint8_t> expected = out;
  fillMacroblockBlock(planesOf(expected, 224), 0, 3, 4, 50);
  fillMacroblockBlock(planesOf(expected, 224), 0, 3, 5, 60);
  ASSERT_EQ(decodeInto(decoder, payload, out), 1);
  EXPECT_EQ(out, expected);
}

TEST(ConditionalPicture, IncrementsSkipColumnsAndThePatternSelectsLumaBlocks) {
  // Row 2: increment 3 -> column 2, pattern 0101 (blocks 0 and 2);
  //        increment 5 -> column 7, pattern 1010 (blocks 1 and 3);
  //        increment 32 -> column 39 (the last), pattern 1111; the slice then ends without an increment 0.
  // Row 9: increment 40 -> column 39, pattern 1000 (block 3 only).
  const Bytes payload = conditionalPicture([](int row, encoder::BitWriter& bits) {
    if (row == 2) {
      bits.write(3, 6);
      bits.write(0b0101, 4);
      writeFlatBlock(bits, 10);  // block 0
      writeFlatBlock(bits, 12);  // block 2
      writeFlatBlock(bits, 14);  // Cb
      writeFlatBlock(bits, 16);  // Cr
      bits.write(5, 6);
      bits.write(0b1010, 4);
      writeFlatBlock(bits, 21);  // block 1
      writeFlatBlock(bits, 23);  // block 3
      writeFlatBlock(bits, 24);
      writeFlatBlock(bits, 25);
      bits.write(32, 6);
      bits.write(0b1111, 4);
      for (int j = 0; j < 6; ++j) {
        writeFlatBlock(bits, 30 + j);
      }
      return;  // column 39 was the last one: no end marker
    }
    if (row == 9) {
      bits.write(40, 6);
      bits.write(0b1000, 4);
      writeFlatBlock(bits, 90);
      writeFlatBlock(bits, 91);
      writeFlatBlock(bits, 92);
      return;
    }
    endSlice(bits);
  });
  std::vector<std::uint8_t> out = sentinelBuffer();
  std::vector<std::uint8_t> expected = out;
  const Planes e = planesOf(expected, 224);
  fillMacroblockBlock(e, 2, 2, 0, 10);
  fillMacroblockBlock(e, 2, 2, 2, 12);
  fillMacroblockBlock(e, 2, 2, 4, 14);
  fillMacroblockBlock(e, 2, 2, 5, 16);
  fillMacroblockBlock(e, 7, 2, 1, 21);
  fillMacroblockBlock(e, 7, 2, 3, 23);
  fillMacroblockBlock(e, 7, 2, 4, 24);
  fillMacroblockBlock(e, 7, 2, 5, 25);
  for (int j = 0; j < 6; ++j) {
    fillMacroblockBlock(e, 39, 2, j, static_cast<std::uint8_t>(30 + j));
  }
  fillMacroblockBlock(e, 39, 9, 3, 90);
  fillMacroblockBlock(e, 39, 9, 4, 91);
  fillMacroblockBlock(e, 39, 9, 5, 92);
  VideoDecoder decoder;
  decoder.Init(4);
  ASSERT_EQ(decodeInto(decoder, payload, out), 1);
  EXPECT_EQ(out, expected);
}

TEST(ConditionalPicture, IncrementsPastTheLastColumnFail) {
  // 41 as the first increment (column 40); 39 then 2 (columns 38, then 40); 63; 20 then 21 (19, then 40).
  const std::vector<std::vector<int>> cases = {{41}, {39, 2}, {63}, {20, 21}};
  for (const auto& increments : cases) {
    const Bytes payload = conditionalPicture([&](int row, encoder::BitWriter& bits) {
      if (row == 4) {
        for (const int increment : increments) {
          bits.write(static_cast<std::uint32_t>(increment), 6);
          bits.write(0, 4);
          writeFlatBlock(bits, 77);
          writeFlatBlock(bits, 78);
        }
      }
      endSlice(bits);
    });
    VideoDecoder decoder;
    decoder.Init(4);
    std::vector<std::uint8_t> out = sentinelBuffer();
    EXPECT_EQ(decodeInto(decoder, payload, out), 0) << increments.size() << " " << increments[0];
  }
}

// ---------------------------------------------------------------------------
// Damaged payloads.

// Copies payload[0..length) into a buffer of exactly that size so that the
// address sanitizer sees any read past its end.
int decodePrefix(VideoDecoder& decoder, const Bytes& payload, std::size_t length, std::vector<std::uint8_t>& out,
                 bool& parsed) {
  const Bytes prefix(payload.begin(), payload.begin() + static_cast<std::ptrdiff_t>(length));
  parsed = decoder.ParseHeader(prefix.data(), prefix.size()) != 0;
  return parsed ? decoder.Decode(prefix.data(), prefix.size(), out.data()) : 0;
}

TEST(DamagedPayload, EveryPrefixOfAPictureFailsCleanlyUntilItIsComplete) {
  encoder::VideoEncoder encoder;
  encoder::EncodeParams params;
  params.quality = 14;
  const YuvPicture first = naturalPicture(640, 224, 1);
  YuvPicture second = first;
  for (int y = 100; y < 224; ++y) {  // down to the last slice
    std::fill_n(second.y() + y * 640 + 200, 60, std::uint8_t{240});
  }
  const Bytes refresh = encoder.encode(first, params);
  params.refresh = false;
  const Bytes conditional = encoder.encode(second, params);

  for (const Bytes* payload : {&refresh, &conditional}) {
    VideoDecoder decoder;
    decoder.Init(4);
    ASSERT_NE(decoder.ParseHeader(payload->data(), payload->size()), 0u);
    const std::size_t lastSlice = decoder.header().slices[13];
    std::vector<std::uint8_t> out(kBuffer);
    int parsedPrefixes = 0;
    for (std::size_t length = 0; length <= payload->size(); ++length) {
      bool parsed = false;
      const int result = decodePrefix(decoder, *payload, length, out, parsed);
      // The last slice is found once its row byte is present.
      ASSERT_EQ(parsed, length >= lastSlice + 4) << length;
      ASSERT_EQ(result, length == payload->size() ? 1 : 0) << "prefix of " << length << " of " << payload->size();
      parsedPrefixes += parsed ? 1 : 0;
    }
    EXPECT_GT(parsedPrefixes, 10);
  }
}

TEST(DamagedPayload, CorruptedPicturesNeverReadOutsideThePayload) {
  encoder::VideoEncoder encoder;
  encoder::EncodeParams params;
  params.quality = 6;
  const Bytes original = encoder.encode(harshPicture(640, 224, 3), params);
  std::mt19937 random(77);
  int decoded = 0;
  int failed = 0;
  VideoDecoder decoder;
  decoder.Init(4);
  std::vector<std::uint8_t> out(kBuffer);
  for (int trial = 0; trial < 300; ++trial) {
    Bytes damaged = original;
    const int edits = 1 + trial % 8;
    for (int e = 0; e < edits; ++e) {
      const std::size_t at = 5 + random() % (damaged.size() - 5);
      switch (random() % 3) {
        case 0:
          damaged[at] = static_cast<std::uint8_t>(random());
          break;
        case 1:
          damaged[at] ^= static_cast<std::uint8_t>(1u << (random() % 8));
          break;
        default:
          damaged.resize(at + 1);  // cut, possibly inside a slice
          break;
      }
    }
    damaged.shrink_to_fit();
    if (decoder.ParseHeader(damaged.data(), damaged.size()) == 0) {
      continue;
    }
    (decoder.Decode(damaged.data(), damaged.size(), out.data()) == 1 ? decoded : failed)++;
  }
  // Both outcomes occur: the damage is not all caught by the header alone.
  EXPECT_GT(failed, 0);
  EXPECT_GT(decoded + failed, 50);
}

}  // namespace
}  // namespace marlin::codectest
