#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <numeric>
#include <random>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "codec/bit_reader.h"
#include "codec/encoder/video_encoder.h"
#include "codec/picture_header.h"
#include "codec/quantiser.h"
#include "codec/slice_decoder.h"
#include "codec/video_decoder.h"
#include "codec_test_support.h"

namespace marlin::codectest {
namespace {

constexpr std::size_t kBuffer = VideoDecoder::kMaxPictureBytes;

// Header bytes followed by `count` minimal slices (start code, row byte, one
// data byte): enough for the header parser, which does not look inside slices.
Bytes withSlices(Bytes payload, int count) {
  for (int s = 0; s < count; ++s) {
    payload.insert(payload.end(), {0x00, 0x00, 0x01, static_cast<std::uint8_t>((s % 17) << 3), 0x5A});
  }
  return payload;
}

Bytes refreshB(int quality = 4) { return pictureStart(true, {layoutBByte(quality, 0)}); }

std::size_t parse(VideoDecoder& decoder, const Bytes& payload) {
  return decoder.ParseHeader(payload.data(), payload.size());
}

// -1 when the header is refused, otherwise what Decode returns.
int decodeInto(VideoDecoder& decoder, const Bytes& payload, std::vector<std::uint8_t>& out) {
  return parse(decoder, payload) == 0 ? -1 : decoder.Decode(payload.data(), payload.size(), out.data());
}

// Picture header and slice scan.

TEST(PictureHeader, SliceScanSizesThePictureAndStopsAtTheNextFrame) {
  VideoDecoder decoder;
  decoder.Init(4);
  for (const int count : {1, 13, 14, 15, 16, 17, 18, 20, 21, 40}) {
    const Bytes p = withSlices(refreshB(), count);
    const bool valid = count == 14 || count == 17;
    EXPECT_EQ(parse(decoder, p), valid ? p.size() : 0u) << count << " slices";
    if (valid) {
      EXPECT_EQ(decoder.GetWidth(), 640);
      EXPECT_EQ(decoder.GetHeight(), 16 * count);
    }
  }
  EXPECT_EQ(parse(decoder, Bytes{0x00, 0x00, 0x01, 0xF9, 0x40, 0x00}), 0u) << "no slice at all";

  Bytes slices14 = refreshB();
  std::vector<std::uint32_t> offsets;  // of the first 00 of each slice start code
  for (int s = 0; s < 14; ++s) {       // slices of different lengths
    offsets.push_back(static_cast<std::uint32_t>(slices14.size()));
    slices14.insert(slices14.end(), {0x00, 0x00, 0x01, static_cast<std::uint8_t>(s << 3)});
    slices14.insert(slices14.end(), static_cast<std::size_t>(s % 5), 0x77);
  }
  const Bytes slices13(slices14.begin(), slices14.begin() + offsets[13]);
  // 00 00 01 F8..FD is the next frame: the scan stops on its last byte and
  // ignores the slices after it. F7 and FE, just outside, are a 14th slice.
  for (int id = 0xF7; id <= 0xFE; ++id) {
    const bool nextFrame = id != 0xF7 && id != 0xFE;
    Bytes payload = nextFrame ? slices14 : slices13;
    payload.insert(payload.end(), {0x00, 0x00, 0x01, static_cast<std::uint8_t>(id)});
    const std::size_t stop = nextFrame ? payload.size() - 1 : payload.size();
    EXPECT_EQ(parse(decoder, nextFrame ? withSlices(payload, 3) : payload), stop) << std::hex << id;
    ASSERT_EQ(decoder.header().sliceCount, 14u) << std::hex << id;
    EXPECT_TRUE(std::equal(offsets.begin(), offsets.end(), decoder.header().slices.begin())) << std::hex << id;
    EXPECT_EQ(decoder.GetHeight(), 224);
  }
}

TEST(PictureHeader, SliceScanFindsStartCodesAmongLookalikeBytes) {
  // Payloads dense in 00 and 01 bytes (overlapping and cut-off start codes,
  // start codes right after the header and at the very end) against a scan
  // of every four-byte window.
  std::mt19937 random(3);
  const std::uint8_t alphabet[] = {0x00, 0x00, 0x00, 0x01, 0x01, 0xF8, 0xFD, 0xFE, 0x5A};
  std::uniform_int_distribution<std::size_t> pick(0, std::size(alphabet) - 1);
  std::uniform_int_distribution<int> extra(0, 60);
  VideoDecoder decoder;
  decoder.Init(4);
  int accepted = 0;
  for (int n = 0; n < 3000; ++n) {
    Bytes payload = withSlices(refreshB(), n % 2 == 0 ? 14 : 17);
    const auto at = static_cast<std::size_t>(5 + n % 7);
    Bytes noise(static_cast<std::size_t>(extra(random)));
    for (auto& b : noise) {
      b = alphabet[pick(random)];
    }
    payload.insert(payload.begin() + static_cast<std::ptrdiff_t>(n % 3 == 0 ? payload.size() : at), noise.begin(),
                   noise.end());
    std::vector<std::uint32_t> starts;
    std::size_t stop = payload.size();
    for (std::size_t i = 8; i < payload.size(); ++i) {
      if (payload[i - 3] == 0 && payload[i - 2] == 0 && payload[i - 1] == 1) {
        if (payload[i] >= 0xF8 && payload[i] <= 0xFD) {
          stop = i;
          break;
        }
        starts.push_back(static_cast<std::uint32_t>(i - 3));
      }
    }
    const bool valid = starts.size() == 14 || starts.size() == 17;
    ASSERT_EQ(parse(decoder, payload), valid ? stop : 0u) << "payload " << n;
    if (valid) {
      ++accepted;
      ASSERT_EQ(decoder.header().sliceCount, starts.size()) << "payload " << n;
      ASSERT_TRUE(std::equal(starts.begin(), starts.end(), decoder.header().slices.begin())) << "payload " << n;
    }
  }
  EXPECT_GT(accepted, 100);
}

codec::PictureHeader fields(int quality, int channel, bool allCoded, std::uint16_t extraValue = 0) {
  return {
      .channel = channel, .quality = quality, .allCoded = allCoded, .extraValue = extraValue, .firstChannel = channel};
}

TEST(PictureHeader, EachLayoutReadsItsOwnFields) {
  struct Case {
    CodecVariant variant;
    Bytes afterStartCode;  // start code id, then the header bytes
    int slices;
    codec::PictureHeader want;
  };
  std::vector<Case> cases = {
      // A (variant 0): all-coded in bit 7, quality in bits 6-3, channel in bits 2-0 where 4-7 count as 0.
      {0, {0xF9, 0x85}, 14, fields(0, 0, true)},
      {0, {0xF9, 0x0B}, 14, fields(1, 3, false)},  // all-coded comes from bit 7, not from the start code
      {0, {0xF8, 0xF2}, 14, fields(14, 2, true)},
      {0, {0xF9, 0x4C}, 14, fields(9, 0, false)},
      {0, {0xF8, 0x57}, 14, fields(10, 0, false)},
      {0, {0xF9, 0x81}, 14, fields(0, 1, true)},
      // C (variant 2): like A but no channel (the low bits are not one), then a 16-bit value.
      {2, {0xF8, 0x9A, 0xBE, 0xEF}, 14, fields(3, 0, true, 0xBEEF)},
      {2, {0xF9, 0x28, 0x00, 0x01}, 14, fields(5, 0, false, 0x0001)},
      // D (variant 5): like B, then H5 = dual, second channel (4 bits), first hidden, second hidden, 0.
      {5,
       {0xF9, 0x3A, 0xAC},
       14,  // 1 0101 1 0 0
       {.channel = 10,
        .quality = 3,
        .allCoded = true,
        .dual = true,
        .firstChannel = 10,
        .secondChannel = 5,
        .firstHidden = true}},
      {5,
       {0xF8, 0x21, 0x7A},
       17,  // 0 1111 0 1 0
       {.channel = 1, .quality = 2, .firstChannel = 1, .secondChannel = 15, .secondHidden = true}},
  };
  // B (variants 1, 3, 4, 6): quality in bits 7-4, channel in bits 3-0, all-coded from the start code.
  for (const CodecVariant variant : {1, 3, 4, 6}) {
    cases.push_back({variant, {0xF8, 0x3A}, 14, fields(3, 10, false)});
    cases.push_back({variant, {0xF9, 0xEF}, 17, fields(14, 15, true)});
  }
  // The same bytes in every variant: A and C read all-coded quality 6, B and D quality 11 channel 5.
  for (CodecVariant variant = 0; variant < 7; ++variant) {
    const bool a = variant == 0 || variant == 2;
    cases.push_back({variant, {0xF8, 0xB5, 0x00, 0x00}, 14, a ? fields(6, 0, true) : fields(11, 5, false)});
  }

  VideoDecoder decoder;  // reused: nothing may stick from the previous picture
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "variant " << c.variant << ' ' << ::testing::PrintToString(c.afterStartCode));
    ASSERT_EQ(decoder.Init(c.variant), 1);
    Bytes start = {0x00, 0x00, 0x01};
    start.insert(start.end(), c.afterStartCode.begin(), c.afterStartCode.end());
    ASSERT_NE(parse(decoder, withSlices(start, c.slices)), 0u);
    const codec::PictureHeader& h = decoder.header();
    EXPECT_EQ(h.quality, c.want.quality);
    EXPECT_EQ(decoder.GetChannel(), c.want.channel);
    EXPECT_EQ(h.allCoded, c.want.allCoded);
    EXPECT_EQ(decoder.GetHeight(), 16 * c.slices);
    if (c.variant == 2) {
      EXPECT_EQ(h.extraValue, c.want.extraValue);
    }
    if (c.variant == 5) {  // dual, first channel, second channel, first hidden, second hidden
      EXPECT_EQ(
          std::tuple(h.dual, h.firstChannel, h.secondChannel, h.firstHidden, h.secondHidden),
          std::tuple(c.want.dual, c.want.firstChannel, c.want.secondChannel, c.want.firstHidden, c.want.secondHidden));
    }
  }
}

TEST(PictureHeader, RefusesShortPayloadsForeignStartCodesAndQualityFifteen) {
  VideoDecoder decoder;
  decoder.Init(4);
  const Bytes valid = withSlices(refreshB(), 14);
  EXPECT_EQ(decoder.ParseHeader(valid.data(), 5), 0u);
  EXPECT_EQ(decoder.ParseHeader(valid.data(), 0), 0u);
  EXPECT_EQ(decoder.ParseHeader(nullptr, 0), 0u);
  for (const Bytes& start :
       {Bytes{0x00, 0x00, 0x01, 0xF7}, Bytes{0x00, 0x00, 0x01, 0xFA}, Bytes{0x00, 0x00, 0x00, 0xF9},
        Bytes{0x01, 0x00, 0x01, 0xF9}, Bytes{0x00, 0x01, 0x01, 0xF8}}) {
    Bytes p = start;
    p.push_back(0x40);
    EXPECT_EQ(parse(decoder, withSlices(p, 14)), 0u) << ::testing::PrintToString(start);
  }
  const std::pair<CodecVariant, Bytes> quality15[] = {{0, {0x00, 0x00, 0x01, 0xF9, 0xF8}},
                                                      {4, {0x00, 0x00, 0x01, 0xF9, 0xF0}},
                                                      {2, {0x00, 0x00, 0x01, 0xF9, 0x78, 0x00, 0x00}},
                                                      {5, {0x00, 0x00, 0x01, 0xF8, 0xF3, 0x00}}};
  for (const auto& [variant, header] : quality15) {
    decoder.Init(variant);
    EXPECT_EQ(parse(decoder, withSlices(header, 14)), 0u) << "variant " << variant;
  }
}

TEST(PictureHeader, DecodeNeedsAParsedPictureOfNonzeroQuality) {
  const Bytes picture = flatPicture(14, 90);
  std::vector<std::uint8_t> out(kBuffer, 0x11);
  VideoDecoder decoder;
  decoder.Init(4);
  EXPECT_EQ(decoder.GetWidth(), 0);
  EXPECT_EQ(decoder.GetHeight(), 0);
  EXPECT_EQ(decoder.Decode(picture.data(), picture.size(), out.data()), 0);
  EXPECT_EQ(out, std::vector<std::uint8_t>(kBuffer, 0x11));

  ASSERT_NE(parse(decoder, picture), 0u);
  EXPECT_EQ(decoder.Decode(nullptr, picture.size(), out.data()), 0);
  EXPECT_EQ(decoder.Decode(picture.data(), 4, out.data()), 0);
  EXPECT_EQ(decoder.Decode(picture.data(), picture.size(), out.data()), 1);
  decoder.Init(4);  // forgets the size
  EXPECT_EQ(decoder.GetWidth(), 0);
  EXPECT_EQ(decoder.Decode(picture.data(), picture.size(), out.data()), 0);

  // Quality 0 parses but is never decoded, even when its slices are fine.
  const Bytes quality0 = flatPicture(14, 90, 0);
  ASSERT_NE(parse(decoder, quality0), 0u);
  EXPECT_EQ(decoder.header().quality, 0);
  EXPECT_EQ(decoder.Decode(quality0.data(), quality0.size(), out.data()), 0);
}

// Block coefficients.

struct BlockRead {
  bool ok = false;
  bool onlyDc = false;
  std::array<std::int16_t, 64> coefficients{};
  std::uint32_t marker = 0;  // the 8 bits after the block
};

// Decodes a block of the DC byte dc then `bits` at quality. A marker byte
// 0xA5 follows, to check how many bits were consumed.
BlockRead readBlock(int quality, int dc, const std::string& bits) {
  Bytes bytes;
  encoder::BitWriter writer(bytes);
  writer.write(static_cast<std::uint32_t>(dc), 8);
  writeBits(writer, bits);
  writer.write(0xA5, 8);
  writer.align();
  codec::BitReader reader(bytes.data(), bytes.size(), 0);
  codec::ScaledQuantiser quantiser;
  BlockRead result;
  result.coefficients.fill(0x7777);  // must be cleared by the reader
  result.ok =
      codec::readBlockCoefficients(reader, quantiser.forQuality(quality), result.coefficients.data(), result.onlyDc);
  if (result.ok) {
    result.marker = reader.read(8);
  }
  return result;
}

std::array<std::int16_t, 64> coefficientsWith(const std::vector<std::pair<int, int>>& entries) {
  std::array<std::int16_t, 64> c{};
  for (const auto& [index, value] : entries) {
    c[static_cast<std::size_t>(index)] = static_cast<std::int16_t>(value);
  }
  return c;
}

TEST(BlockCoefficients, CodesEscapesScanAndSaturation) {
  // A coefficient is (magnitude x W[index] x quality) >> 2, with the default
  // intra matrix W. Zig-zag positions 1..9 are the indices 1, 8, 16, 9, 2, 3,
  // 10, 17, 24; W[1] = W[8] = 16, W[2] = W[16] = 19, W[3] = W[10] = W[17] =
  // W[24] = 22, W[63] = 83. The DC coefficient is 8 x the DC byte. An empty
  // `want` means the block is refused.
  struct Case {
    const char* what;
    int quality, dc;
    std::string bits;
    std::vector<std::pair<int, int>> want;
  };
  const Case cases[] = {
      {"DC then end of block", 4, 200, "10", {{0, 1600}}},
      {"11 is run 0 level 1, negative", 4, 100, "11 1 10", {{0, 800}, {1, -16}}},
      {"11 is run 0 level 1, positive", 4, 100, "11 0 10", {{0, 800}, {1, 16}}},
      // Run 2 level 1 (position 3), run 1 level 1 (5), run 0 level 2 (6), run 1 level 2 (8), run 0 level 1 (9).
      {"runs advance along the zig-zag scan",
       4,
       10,
       "0101 0  011 1  0100 0  000110 1  11 0  10",
       {{0, 80}, {16, 19}, {2, -19}, {3, 44}, {17, -44}, {24, 22}}},
      // Escape 000001, 6-bit run, level byte(s); at quality 1, index 1 gives 4 x magnitude.
      {"escape 00 C8 is +200", 1, 16, "000001 000000 00000000 11001000 10", {{0, 128}, {1, 800}}},
      {"escape 80 38 is -(256 - 56)", 1, 16, "000001 000000 10000000 00111000 10", {{0, 128}, {1, -800}}},
      {"escape FF is -1", 1, 16, "000001 000000 11111111 10", {{0, 128}, {1, -4}}},
      {"escape 81 is -127", 1, 16, "000001 000000 10000001 10", {{0, 128}, {1, -508}}},
      {"escape 7F is +127", 1, 16, "000001 000000 01111111 10", {{0, 128}, {1, 508}}},
      {"escape 01 is +1", 1, 16, "000001 000000 00000001 10", {{0, 128}, {1, 4}}},
      {"escape 00 01 is +1", 1, 16, "000001 000000 00000000 00000001 10", {{0, 128}, {1, 4}}},
      {"escape 80 00 is magnitude (256 - 0) mod 256", 1, 16, "000001 000000 10000000 00000000 10", {{0, 128}, {1, 0}}},
      {"an escape's run counts like a table run",
       1,
       16,
       "000001 000101 00000000 11001000"  // run 5: position 6, index 3
       "000001 000000 10000000 00111000"  // position 7, index 10
       "10",
       {{0, 128}, {3, 1100}, {10, -1100}}},
      {"255 x 83 x 14 >> 2 caps at +2047", 14, 1, "000001 111110 00000000 11111111 10", {{0, 8}, {63, 2047}}},
      {"and at -2048", 14, 1, "000001 111110 10000000 00000001 10", {{0, 8}, {63, -2048}}},
      {"exactly 2048: positive caps, negative stays",
       8,
       1,
       "000001 000000 01000000  000001 000000 11000000  10",
       {{0, 8}, {1, 2047}, {8, -2048}}},
      // Escape run 61 (position 62, index 62), then "0000001010" run 0 level 7
      // negative: -7 x 83 x 14 / 4 = -2033.5, rounded toward zero.
      {"a short code at the highest quality and the last index",
       14,
       1,
       "000001 111101 00000001  0000001010 1  10",
       {{0, 8}, {62, 1 * 69 * 14 / 4}, {63, -2033}}},
      {"run 62 ends on position 63", 2, 50, "000001 111110 00000001 10", {{0, 400}, {63, 41}}},
      {"run 63 reaches position 64", 2, 50, "000001 111111 00000001 10", {}},
      {"a coefficient after position 63", 2, 50, "000001 111110 00000001 11 0 10", {}},
      {"a table run past position 63", 2, 50, "000001 111101 00000001 011 0 10", {}},  // 62, then run 1
      {"twelve leading zeros are not a code", 2, 50, "000000000000 1111 10", {}},
      {"sixteen zeros after a code", 2, 50, "11 0 0000000000000000 1", {}},
      {"eleven zeros start run 1 level 15", 1, 50, "0000000000010011 0 10", {{0, 400}, {8, 15 * 16 / 4}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const BlockRead r = readBlock(c.quality, c.dc, c.bits);
    ASSERT_EQ(r.ok, !c.want.empty());
    if (r.ok) {
      EXPECT_EQ(r.coefficients, coefficientsWith(c.want));
      EXPECT_EQ(r.onlyDc, c.want.size() == 1);
      EXPECT_EQ(r.marker, 0xA5u);
    }
  }
}

// Whole pictures.

// Writes block j (0-3 luma, 4 Cb, 5 Cr) of macroblock (column, row) of a
// 640-wide picture of the given height as the placement table says.
void fillMacroblockBlock(std::vector<std::uint8_t>& buffer, int height, int column, int row, int j, int value) {
  const int luma = 640 * height;
  const int stride = j < 4 ? 640 : 320;
  std::uint8_t* origin = j < 4 ? buffer.data() + (16 * row + 8 * (j / 2)) * 640 + 16 * column + 8 * (j % 2)
                               : buffer.data() + luma + (j - 4) * luma / 4 + 8 * row * 320 + 8 * column;
  for (int r = 0; r < 8; ++r) {
    std::fill_n(origin + r * stride, 8, static_cast<std::uint8_t>(value));
  }
}

// Fills every block of rows [0, rows) with dcOf(row, column, j).
template <typename DcOf>
void fillRows(std::vector<std::uint8_t>& buffer, int height, int rows, DcOf dcOf) {
  for (int row = 0; row < rows; ++row) {
    for (int column = 0; column < 40; ++column) {
      for (int j = 0; j < 6; ++j) {
        fillMacroblockBlock(buffer, height, column, row, j, dcOf(row, column, j));
      }
    }
  }
}

std::vector<std::uint8_t> sentinelBuffer() {
  std::vector<std::uint8_t> buffer(kBuffer);
  for (std::size_t i = 0; i < buffer.size(); ++i) {
    buffer[i] = static_cast<std::uint8_t>(i * 7 + i / 640);
  }
  return buffer;
}

TEST(PictureDecoding, EveryBlockLandsWhereItsRowColumnAndIndexSay) {
  const auto dcOf = [](int row, int column, int j) { return 1 + (row * 37 + column * 11 + j * 41) % 254; };
  for (const int rows : {14, 17}) {
    // Slices in scrambled order: each one's row comes from its own header.
    std::vector<int> order(static_cast<std::size_t>(rows));
    std::iota(order.begin(), order.end(), 0);
    std::shuffle(order.begin(), order.end(), std::mt19937(5));
    Bytes payload = refreshB(3);
    for (const int row : order) {
      appendFlatSlice(payload, row, [&](int column, int j) { return dcOf(row, column, j); });
    }
    std::vector<std::uint8_t> expected(kBuffer, 0xEE);  // beyond the picture nothing changes
    fillRows(expected, 16 * rows, rows, dcOf);
    VideoDecoder decoder;
    decoder.Init(4);
    std::vector<std::uint8_t> out(kBuffer, 0xEE);
    ASSERT_EQ(decodeInto(decoder, payload, out), 1) << rows;
    EXPECT_EQ(out, expected) << rows;
  }
}

TEST(PictureDecoding, BlocksWithAcCoefficientsAreInverseTransformed) {
  // Luma blocks 1..3 of macroblock 0 carry AC codes: anywhere, only in the
  // first row, only in the first column (the last two have shortcuts of their
  // own); every other block is flat 60.
  struct CodedBlock {
    int block;
    const char* bits;
    std::vector<std::pair<int, int>> coefficients;
    std::ptrdiff_t offset;  // of its top left pixel
  };
  const CodedBlock coded[] = {
      // index 1: +16; index 8: -32; run 0 level 3 at index 16: +57
      {1, "11 0 0100 1 00101 0", {{0, 480}, {1, 16}, {8, -32}, {16, 57}}, 8},
      // index 1: +16; run 3 to index 2: -19
      {2, "11 0 00111 1", {{0, 480}, {1, 16}, {2, -19}}, 8 * 640},
      // run 1 to index 8: +16; index 16: -19; run 5 to index 24: +22
      {3, "011 0 11 1 000111 0", {{0, 480}, {8, 16}, {16, -19}, {24, 22}}, 8 * 640 + 8},
  };
  Bytes payload = refreshB(4);
  appendSlice(payload, 0, [&coded](encoder::BitWriter& bits) {
    for (int block = 0; block < 240; ++block) {
      bits.write(60, 8);
      for (const CodedBlock& c : coded) {
        if (block == c.block) {
          writeBits(bits, c.bits);
        }
      }
      writeBits(bits, "10");
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
    std::vector<std::uint8_t> out(kBuffer, 0);
    ASSERT_EQ(decodeInto(decoder, payload, out), 1);
    for (const CodedBlock& c : coded) {
      auto coefficients = coefficientsWith(c.coefficients);
      std::uint8_t expected[64];
      kernel->transform(coefficients.data(), expected, 8);
      ASSERT_NE(expected[0], expected[63]) << "block " << c.block << " is flat";
      for (int r = 0; r < 8; ++r) {
        ASSERT_TRUE(std::equal(expected + 8 * r, expected + 8 * r + 8, out.begin() + c.offset + r * 640))
            << kernel->name << " block " << c.block << " row " << r;
      }
    }
    // The coded blocks' neighbours are untouched by them.
    EXPECT_EQ(out[7], 60);
    EXPECT_EQ(out[16], 60);
    EXPECT_EQ(out[16 * 640 + 8], 60);
  }
}

TEST(PictureDecoding, SliceRowOutsideThePictureFailsAndKeepsEarlierSlices) {
  const auto flat33 = [](int, int, int) { return 33; };
  for (const int badRow : {14, 16, 30}) {  // 16 is valid in 17-slice pictures (see above)
    Bytes payload = refreshB(4);
    for (int s = 0; s < 14; ++s) {
      appendFlatSlice(payload, s == 5 ? badRow : s, [](int, int) { return 33; });
    }
    VideoDecoder decoder;
    decoder.Init(4);
    std::vector<std::uint8_t> out = sentinelBuffer();
    std::vector<std::uint8_t> expected = out;
    fillRows(expected, 224, 5, flat33);
    EXPECT_EQ(decodeInto(decoder, payload, out), 0) << badRow;
    EXPECT_EQ(out, expected) << badRow;
  }
}

TEST(PictureDecoding, SliceThatDoesNotStartWithAStartCodeFails) {
  const Bytes payload = flatPicture(14, 70);
  codec::PictureHeader header;
  ASSERT_NE(codec::parsePictureHeader(payload.data(), payload.size(), codec::HeaderLayout::B, header), 0u);
  codec::ScaledQuantiser quantiser;
  std::vector<std::uint8_t> out(kBuffer);
  const auto decode = [&](const codec::PictureHeader& h) {
    return codec::decodeSlices(payload.data(), payload.size(), h, quantiser.forQuality(4),
                               codec::portableIdct().transform, out.data());
  };
  ASSERT_TRUE(decode(header));
  for (const std::int64_t shift : {-1, 1, 2, 3}) {
    codec::PictureHeader bogus = header;
    bogus.slices[7] = static_cast<std::uint32_t>(bogus.slices[7] + shift);
    EXPECT_FALSE(decode(bogus)) << shift;
  }
}

// Conditional pictures (layout B, start code F8): each macroblock is a 6-bit
// address increment, a 4-bit luma pattern (bit j = block j), the patterned
// luma blocks and both chroma blocks; increment 0 ends a slice early.
struct Coded {
  int row;
  int increment;
  unsigned pattern;
  int column;  // where it must land
};

int conditionalDc(int column, int j) { return 1 + (column * 7 + j * 13) % 250; }
bool codes(const Coded& m, int j) { return j >= 4 || ((m.pattern >> j) & 1u); }

Bytes conditionalPicture(const std::vector<Coded>& macroblocks) {
  Bytes payload = pictureStart(false, {layoutBByte(4, 0)});
  for (int row = 0; row < 14; ++row) {
    appendSlice(payload, row, [&](encoder::BitWriter& bits) {
      bool reachedLastColumn = false;
      for (const Coded& m : macroblocks) {
        if (m.row == row) {
          bits.write(static_cast<std::uint32_t>(m.increment), 6);
          bits.write(m.pattern, 4);
          for (int j = 0; j < 6; ++j) {
            if (codes(m, j)) {
              writeFlatBlock(bits, conditionalDc(m.column, j));
            }
          }
          reachedLastColumn = m.column == 39;
        }
      }
      if (!reachedLastColumn) {
        bits.write(0, 6);  // a slice that reached column 39 has ended without it
      }
    });
  }
  return payload;
}

TEST(ConditionalPicture, AddressIncrementsAndLumaPatternsPlaceMacroblocks) {
  // Rows other than 2, 3 and 9 start with increment 0 and must write nothing.
  const std::vector<Coded> macroblocks = {
      {2, 3, 0b0101, 2},    // blocks 0 and 2
      {2, 5, 0b1010, 7},    // blocks 1 and 3
      {2, 32, 0b1111, 39},  // the last column
      {3, 1, 0b0000, 0},    // pattern 0 still codes both chroma blocks
      {9, 40, 0b1000, 39},  // block 3 only
  };
  std::vector<std::uint8_t> out = sentinelBuffer();
  std::vector<std::uint8_t> expected = out;
  for (const Coded& m : macroblocks) {
    for (int j = 0; j < 6; ++j) {
      if (codes(m, j)) {
        fillMacroblockBlock(expected, 224, m.column, m.row, j, conditionalDc(m.column, j));
      }
    }
  }
  VideoDecoder decoder;
  decoder.Init(4);
  ASSERT_EQ(decodeInto(decoder, conditionalPicture(macroblocks), out), 1);
  EXPECT_FALSE(decoder.header().allCoded);
  EXPECT_EQ(out, expected);
  // Increments that reach past column 39 fail.
  for (const auto& bad : std::vector<std::vector<Coded>>{
           {{4, 41, 0, 40}}, {{4, 39, 0, 38}, {4, 2, 0, 40}}, {{4, 63, 0, 62}}, {{4, 20, 0, 19}, {4, 21, 0, 40}}}) {
    decoder.Init(4);
    EXPECT_EQ(decodeInto(decoder, conditionalPicture(bad), out), 0) << bad.back().increment;
  }
}

// Damaged payloads.

TEST(DamagedPayload, EveryPrefixOfAPictureFailsCleanlyUntilItIsComplete) {
  encoder::VideoEncoder encoder;
  encoder::EncodeParams params{.quality = 14};
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
    ASSERT_NE(parse(decoder, *payload), 0u);
    const std::size_t lastSlice = decoder.header().slices[13];
    ASSERT_GT(payload->size(), lastSlice + 10) << "too few cuts inside the last slice";
    std::vector<std::uint8_t> out(kBuffer);
    for (std::size_t length = 0; length <= payload->size(); ++length) {
      // A buffer of exactly this length, so that the address sanitizer sees any read past its end.
      const Bytes prefix(payload->begin(), payload->begin() + static_cast<std::ptrdiff_t>(length));
      // The last slice is found once its row byte is present.
      ASSERT_EQ(parse(decoder, prefix) != 0, length >= lastSlice + 4) << length;
      if (length >= lastSlice + 4) {
        ASSERT_EQ(decoder.Decode(prefix.data(), prefix.size(), out.data()), length == payload->size() ? 1 : 0)
            << "prefix of " << length << " of " << payload->size();
      }
    }
  }
}

TEST(DamagedPayload, CorruptedPicturesNeverReadOutsideThePayload) {
  const Bytes original = encoder::VideoEncoder().encode(harshPicture(640, 224, 3), {.quality = 6});
  std::mt19937 random(77);
  int decoded = 0;
  int failed = 0;
  VideoDecoder decoder;
  decoder.Init(4);
  std::vector<std::uint8_t> out(kBuffer);
  for (int trial = 0; trial < 300; ++trial) {
    Bytes damaged = original;
    for (int e = 0; e <= trial % 8; ++e) {  // overwrite a byte, flip a bit or cut, possibly inside a slice
      const std::size_t at = 5 + random() % (damaged.size() - 5);
      const auto kind = random() % 3;
      if (kind == 2) {
        damaged.resize(at + 1);
      } else {
        damaged[at] = static_cast<std::uint8_t>(kind == 0 ? random() : damaged[at] ^ 1u << random() % 8);
      }
    }
    damaged.shrink_to_fit();
    if (parse(decoder, damaged) != 0) {
      (decoder.Decode(damaged.data(), damaged.size(), out.data()) == 1 ? decoded : failed)++;
    }
  }
  // Both outcomes occur: not all damage is caught by the header alone.
  EXPECT_GT(failed, 0);
  EXPECT_GT(decoded + failed, 50);
}

}  // namespace
}  // namespace marlin::codectest
