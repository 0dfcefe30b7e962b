#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <tuple>
#include <vector>

#include "codec/video_decoder.h"
#include "codec/yuv_picture.h"
#include "codec_test_support.h"
#include "encoder/video_encoder.h"

namespace marlin::codectest {
namespace {

using encoder::EncodeParams;
using encoder::VideoEncoder;

// Parses and decodes payload into a fresh buffer; empty on failure.
std::vector<std::uint8_t> decodeFresh(const Bytes& payload, CodecVariant variant = 4) {
  VideoDecoder decoder;
  decoder.Init(variant);
  std::vector<std::uint8_t> out(VideoDecoder::kMaxPictureBytes, 0);
  if (decoder.ParseHeader(payload.data(), payload.size()) == 0 ||
      decoder.Decode(payload.data(), payload.size(), out.data()) != 1) {
    return {};
  }
  out.resize(static_cast<std::size_t>(decoder.GetWidth()) * decoder.GetHeight() * 3 / 2);
  return out;
}

// The largest difference between two 8x8 blocks.
int largestDifference(const std::uint8_t* a, const std::uint8_t* b, int stride) {
  int largest = 0;
  for (int r = 0; r < 8; ++r) {
    for (int c = 0; c < 8; ++c) {
      largest = std::max(largest, std::abs(a[r * stride + c] - b[r * stride + c]));
    }
  }
  return largest;
}

void copyBlock(const std::uint8_t* from, std::uint8_t* to, int stride) {
  for (int r = 0; r < 8; ++r) {
    std::copy_n(from + r * stride, 8, to + r * stride);
  }
}

// ---------------------------------------------------------------------------
// Round trips.

TEST(EncoderRoundTrip, NaturalContentAtQualityTwoExceeds35Decibels) {
  for (const int height : {224, 272}) {
    for (const int seed : {0, 1}) {
      const YuvPicture source = naturalPicture(640, height, seed);
      VideoEncoder encoder;
      EncodeParams params;
      params.quality = 2;
      const Bytes payload = encoder.encode(source, params);
      const std::vector<std::uint8_t> decoded = decodeFresh(payload);
      ASSERT_EQ(decoded.size(), source.data.size()) << height;
      const PlanePsnr p = planePsnr(source, decoded.data());
      char line[200];
      std::snprintf(line, sizeof line, "640x%d seed %d quality 2: %zu bytes, PSNR Y %.2f dB, Cb %.2f dB, Cr %.2f dB",
                    height, seed, payload.size(), p.y, p.cb, p.cr);
      std::cout << "[ PSNR     ] " << line << "\n";
      RecordProperty("psnr_" + std::to_string(height) + "_" + std::to_string(seed), line);
      EXPECT_GE(p.y, 35.0) << line;
      EXPECT_GE(p.cb, 35.0) << line;
      EXPECT_GE(p.cr, 35.0) << line;
    }
  }
}

TEST(EncoderRoundTrip, CoarserQualityCostsFidelityAndSavesBytes) {
  const YuvPicture source = naturalPicture(640, 224, 3);
  double previousPsnr = 1000;
  std::size_t previousSize = SIZE_MAX;
  for (const int quality : {1, 3, 6, 10, 14}) {
    VideoEncoder encoder;
    EncodeParams params;
    params.quality = quality;
    const Bytes payload = encoder.encode(source, params);
    const std::vector<std::uint8_t> decoded = decodeFresh(payload);
    ASSERT_FALSE(decoded.empty()) << quality;
    const double y = planePsnr(source, decoded.data()).y;
    std::cout << "[ PSNR     ] quality " << quality << ": " << payload.size() << " bytes, Y " << y << " dB\n";
    EXPECT_LT(y, previousPsnr) << quality;
    EXPECT_LT(payload.size(), previousSize) << quality;
    EXPECT_GE(y, 28.0) << quality;  // still a recognisable picture at the coarsest setting
    previousPsnr = y;
    previousSize = payload.size();
  }
}

TEST(EncoderRoundTrip, EveryHeaderLayoutCarriesItsFields) {
  const YuvPicture first = naturalPicture(640, 272, 4);
  YuvPicture second = first;
  std::fill_n(second.y() + 50 * 640 + 100, 40, std::uint8_t{250});

  struct Case {
    CodecVariant variant;
    EncodeParams params;
    Bytes refreshHeader;      // bytes 3.. of the refresh picture
    Bytes conditionalHeader;  // bytes 3.. of the following conditional picture
  };
  EncodeParams a;
  a.variant = 0;
  a.channel = 3;
  a.quality = 5;
  EncodeParams b;
  b.variant = 4;
  b.channel = 12;
  b.quality = 7;
  EncodeParams c;
  c.variant = 2;
  c.quality = 9;
  c.sequence = 0xA55A;
  EncodeParams d;
  d.variant = 5;
  d.channel = 6;
  d.quality = 3;
  d.dual = true;
  d.secondChannel = 11;
  d.firstHidden = true;
  EncodeParams d2 = d;
  d2.dual = false;
  d2.secondChannel = 1;
  d2.firstHidden = false;
  d2.secondHidden = true;
  const Case cases[] = {
      // A: all-coded in bit 7, quality in bits 6-3, channel in bits 2-0.
      {0, a, {0xF9, 0x80 | 5 << 3 | 3}, {0xF8, 5 << 3 | 3}},
      // B: quality in bits 7-4, channel in bits 3-0.
      {4, b, {0xF9, 7 << 4 | 12}, {0xF8, 7 << 4 | 12}},
      // C: like A without a channel, then the 16-bit value.
      {2, c, {0xF9, 0x80 | 9 << 3, 0xA5, 0x5A}, {0xF8, 9 << 3, 0xA5, 0x5A}},
      // D: like B, then dual flag, second channel, hidden bits.
      {5, d, {0xF9, 3 << 4 | 6, 0x80 | 11 << 3 | 0x04}, {0xF8, 3 << 4 | 6, 0x80 | 11 << 3 | 0x04}},
      {5, d2, {0xF9, 3 << 4 | 6, 1 << 3 | 0x02}, {0xF8, 3 << 4 | 6, 1 << 3 | 0x02}},
  };
  for (const Case& k : cases) {
    VideoEncoder encoder;
    EncodeParams params = k.params;
    const Bytes refresh = encoder.encode(first, params);
    params.refresh = false;
    const Bytes conditional = encoder.encode(second, params);
    for (const auto& [payload, header, isRefresh] :
         {std::tuple{&refresh, &k.refreshHeader, true}, std::tuple{&conditional, &k.conditionalHeader, false}}) {
      ASSERT_GT(payload->size(), 3 + header->size());
      EXPECT_EQ(Bytes(payload->begin(), payload->begin() + 3), (Bytes{0x00, 0x00, 0x01})) << k.variant;
      EXPECT_EQ(Bytes(payload->begin() + 3, payload->begin() + 3 + static_cast<std::ptrdiff_t>(header->size())),
                *header)
          << "variant " << k.variant << (isRefresh ? " refresh" : " conditional");
      VideoDecoder decoder;
      decoder.Init(k.variant);
      ASSERT_NE(decoder.ParseHeader(payload->data(), payload->size()), 0u) << k.variant;
      const codec::PictureHeader& h = decoder.header();
      EXPECT_EQ(h.quality, params.quality) << k.variant;
      EXPECT_EQ(h.channel, params.channel) << k.variant;
      EXPECT_EQ(h.allCoded, isRefresh) << k.variant;
      EXPECT_EQ(decoder.GetWidth(), 640);
      EXPECT_EQ(decoder.GetHeight(), 272);
      if (k.variant == 2) {
        EXPECT_EQ(h.extraValue, 0xA55A);
      }
      if (k.variant == 5) {
        EXPECT_EQ(h.dual, params.dual);
        EXPECT_EQ(h.firstChannel, params.channel);
        EXPECT_EQ(h.secondChannel, params.secondChannel);
        EXPECT_EQ(h.firstHidden, params.firstHidden);
        EXPECT_EQ(h.secondHidden, params.secondHidden);
      }
    }
    // The slices do not depend on the layout: the same picture at the same
    // quality decodes identically whatever the header looks like.
    EncodeParams sameQuality = EncodeParams{};
    sameQuality.quality = params.quality;
    const std::vector<std::uint8_t> expected = decodeFresh(VideoEncoder().encode(first, sameQuality));
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(decodeFresh(refresh, k.variant), expected) << k.variant;
  }
}

// ---------------------------------------------------------------------------
// Conditional pictures.

TEST(ConditionalEncoding, CodesOnlyWhatChangedAndDecodesOverThePreviousPicture) {
  constexpr int kWidth = 640;
  constexpr int kHeight = 224;
  constexpr int kThreshold = 2;
  const YuvPicture first = naturalPicture(kWidth, kHeight, 2, 0.3, 0.45);
  YuvPicture second = naturalPicture(kWidth, kHeight, 2, 0.36, 0.45);  // the disc moved right by ~38 pixels
  for (int y = 150; y < 190; ++y) {                                     // and a bright sign appeared
    std::fill_n(second.y() + y * kWidth + 480, 64, std::uint8_t{235});
  }
  VideoEncoder encoder;
  EncodeParams params;
  params.quality = 3;
  params.changeThreshold = kThreshold;
  const Bytes refresh = encoder.encode(first, params);
  params.refresh = false;
  const Bytes conditional = encoder.encode(second, params);
  std::cout << "[ SIZES    ] refresh " << refresh.size() << " bytes, conditional " << conditional.size() << " bytes\n";
  EXPECT_LT(conditional.size() * 5, refresh.size());

  VideoDecoder decoder;
  decoder.Init(4);
  std::vector<std::uint8_t> shown(VideoDecoder::kMaxPictureBytes, 0);
  ASSERT_NE(decoder.ParseHeader(refresh.data(), refresh.size()), 0u);
  ASSERT_EQ(decoder.Decode(refresh.data(), refresh.size(), shown.data()), 1);
  const std::vector<std::uint8_t> before = shown;
  ASSERT_NE(decoder.ParseHeader(conditional.data(), conditional.size()), 0u);
  EXPECT_FALSE(decoder.header().allCoded);
  ASSERT_EQ(decoder.Decode(conditional.data(), conditional.size(), shown.data()), 1);

  // What the second picture looks like when every block is coded.
  const std::vector<std::uint8_t> full = decodeFresh(VideoEncoder().encode(second, EncodeParams{.quality = 3}));
  ASSERT_FALSE(full.empty());

  // A luma block is coded when one of its samples changed by more than the
  // threshold since the previous picture; a macroblock (with both chroma
  // blocks) when any of its six blocks did. Coded blocks are what a refresh
  // picture gives, the others keep what was shown.
  std::vector<std::uint8_t> expected = before;
  expected.resize(full.size());
  const std::size_t luma = static_cast<std::size_t>(kWidth) * kHeight;
  const std::uint8_t* sourcePlanes[3] = {second.y(), second.cb(), second.cr()};
  const std::uint8_t* previousPlanes[3] = {first.y(), first.cb(), first.cr()};
  int codedLuma = 0;
  int codedMacroblocks = 0;
  for (int row = 0; row < kHeight / 16; ++row) {
    for (int column = 0; column < kWidth / 16; ++column) {
      bool any = false;
      for (int j = 0; j < 4; ++j) {
        const std::size_t at = static_cast<std::size_t>(16 * row + 8 * (j / 2)) * kWidth + 16 * column + 8 * (j % 2);
        if (largestDifference(sourcePlanes[0] + at, previousPlanes[0] + at, kWidth) > kThreshold) {
          copyBlock(full.data() + at, expected.data() + at, kWidth);
          any = true;
          ++codedLuma;
        }
      }
      const std::size_t chromaAt = static_cast<std::size_t>(8 * row) * (kWidth / 2) + 8 * column;
      for (int plane = 1; plane <= 2; ++plane) {
        any = any || largestDifference(sourcePlanes[plane] + chromaAt, previousPlanes[plane] + chromaAt,
                                       kWidth / 2) > kThreshold;
      }
      if (any) {
        ++codedMacroblocks;
        for (int plane = 1; plane <= 2; ++plane) {
          const std::size_t base = luma + (plane - 1) * luma / 4;
          copyBlock(full.data() + base + chromaAt, expected.data() + base + chromaAt, kWidth / 2);
        }
      }
    }
  }
  std::cout << "[ SIZES    ] conditional picture codes " << codedLuma << " luma blocks in " << codedMacroblocks
            << " of 560 macroblocks\n";
  EXPECT_GT(codedMacroblocks, 10);
  EXPECT_LT(codedMacroblocks, 100);
  shown.resize(expected.size());
  EXPECT_EQ(shown, expected);

  // Where the scene did not change, nothing changed on screen.
  const std::size_t row30 = 30 * kWidth;
  EXPECT_TRUE(std::equal(shown.begin(), shown.begin() + static_cast<std::ptrdiff_t>(row30), before.begin()));
  // The new content is there.
  const PlanePsnr p = planePsnr(second, shown.data());
  EXPECT_GE(p.y, 35.0);
  EXPECT_GE(p.cb, 35.0);

  // The same result through a picture store fed the whole sequence.
  VideoDecoder sequenceDecoder;
  sequenceDecoder.Init(4);
  PictureStore store;
  ASSERT_NE(store.decode(sequenceDecoder, refresh.data(), refresh.size()), nullptr);
  const YuvPicture* last = store.decode(sequenceDecoder, conditional.data(), conditional.size());
  ASSERT_NE(last, nullptr);
  EXPECT_EQ(last->data, shown);
}

TEST(ConditionalEncoding, LongSequenceOfConditionalPicturesStaysFaithful) {
  VideoEncoder encoder;
  VideoDecoder decoder;
  decoder.Init(4);
  PictureStore store;
  EncodeParams params;
  params.quality = 2;
  std::size_t refreshSize = 0;
  for (int t = 0; t < 8; ++t) {
    const YuvPicture source = naturalPicture(640, 272, 5, 0.2 + 0.02 * t, 0.4 + 0.01 * t);
    params.refresh = t == 0;
    const Bytes payload = encoder.encode(source, params);
    if (t == 0) {
      refreshSize = payload.size();
    } else {
      EXPECT_LT(payload.size() * 4, refreshSize) << t;
    }
    const YuvPicture* shown = store.decode(decoder, payload.data(), payload.size());
    ASSERT_NE(shown, nullptr) << t;
    EXPECT_EQ(decoder.header().allCoded, t == 0);
    const PlanePsnr p = planePsnr(source, shown->data.data());
    std::cout << "[ PSNR     ] sequence picture " << t << ": " << payload.size() << " bytes, Y " << p.y << " dB\n";
    EXPECT_GE(p.y, 34.0) << t;
    EXPECT_GE(p.cb, 34.0) << t;
    EXPECT_GE(p.cr, 34.0) << t;
  }
}

TEST(ConditionalEncoding, SlowFadeDoesNotLeaveTheShownPictureBehind) {
  // Each picture is one level brighter than the one before: no single step
  // exceeds the change threshold, but the steps add up. Conditional pictures
  // must keep what decoders show close to the scene.
  VideoEncoder encoder;
  VideoDecoder decoder;
  decoder.Init(4);
  PictureStore store;
  YuvPicture source = naturalPicture(640, 224, 0);
  for (int t = 0; t <= 24; ++t) {
    EncodeParams params;
    params.refresh = t == 0;
    const Bytes payload = encoder.encode(source, params);
    const YuvPicture* shown = store.decode(decoder, payload.data(), payload.size());
    ASSERT_NE(shown, nullptr) << t;
    // A lag of a few levels is acceptable; an ever-growing one is not.
    const double y = planePsnr(source, shown->data.data()).y;
    ASSERT_GE(y, 35.0) << "picture " << t << " (" << payload.size() << " bytes), " << t
                       << " levels brighter than the first";
    for (std::size_t i = 0; i < 640u * 224; ++i) {
      source.y()[i] = static_cast<std::uint8_t>(std::min(255, source.y()[i] + 1));
    }
  }
}

// ---------------------------------------------------------------------------
// Picture store and dual pictures.

TEST(PictureStoreTest, InterleavedChannelsDecodeAsIfEachWereAlone) {
  // Channels 1 and 2 (and a dual picture of channel 1 in variant 5) with
  // moving content, each a refresh picture followed by conditional ones.
  VideoEncoder encoder;
  std::vector<std::pair<int, Bytes>> interleaved;  // (stream index, payload)
  constexpr CodecVariant kVariant = 5;
  for (int t = 0; t < 5; ++t) {
    for (int stream = 0; stream < 3; ++stream) {
      EncodeParams params;
      params.variant = kVariant;
      params.quality = 4;
      params.channel = stream == 1 ? 2 : 1;
      params.dual = stream == 2;
      params.secondChannel = 3;
      params.refresh = t == 0;
      const YuvPicture source = naturalPicture(640, 224, 10 + stream, 0.2 + 0.05 * t + 0.2 * stream, 0.5);
      interleaved.emplace_back(stream, encoder.encode(source, params));
    }
  }
  VideoDecoder sharedDecoder;
  sharedDecoder.Init(kVariant);
  PictureStore shared;
  VideoDecoder aloneDecoders[3];
  PictureStore alone[3];
  // One buffer for everything: what a decoder without per-channel references would show.
  VideoDecoder naiveDecoder;
  naiveDecoder.Init(kVariant);
  std::vector<std::uint8_t> naive(VideoDecoder::kMaxPictureBytes, 0);
  int naiveDiffers = 0;
  for (auto& d : aloneDecoders) {
    d.Init(kVariant);
  }
  for (const auto& [stream, payload] : interleaved) {
    const YuvPicture* got = shared.decode(sharedDecoder, payload.data(), payload.size());
    const YuvPicture* want = alone[stream].decode(aloneDecoders[stream], payload.data(), payload.size());
    ASSERT_NE(got, nullptr);
    ASSERT_NE(want, nullptr);
    EXPECT_EQ(sharedDecoder.GetChannel(), stream == 1 ? 2 : 1);
    EXPECT_EQ(sharedDecoder.header().dual, stream == 2);
    EXPECT_EQ(got->width, 640);
    EXPECT_EQ(got->height, 224);
    EXPECT_EQ(got->data, want->data) << "stream " << stream;

    ASSERT_NE(naiveDecoder.ParseHeader(payload.data(), payload.size()), 0u);
    ASSERT_EQ(naiveDecoder.Decode(payload.data(), payload.size(), naive.data()), 1);
    if (!std::equal(want->data.begin(), want->data.end(), naive.begin())) {
      ++naiveDiffers;
    }
  }
  // The conditional pictures really depend on their own channel's reference.
  EXPECT_GE(naiveDiffers, 8);
}

TEST(PictureStoreTest, UndecodablePayloadGivesNothing) {
  VideoDecoder decoder;
  decoder.Init(4);
  PictureStore store;
  const Bytes garbage = {0x00, 0x00, 0x01, 0xF9, 0x40, 0x12, 0x34};
  EXPECT_EQ(store.decode(decoder, garbage.data(), garbage.size()), nullptr);
  // Parses (14 slices) but the slices are empty.
  Bytes hollow = pictureStart(true, {layoutBByte(4, 0)});
  for (int s = 0; s < 14; ++s) {
    hollow.insert(hollow.end(), {0x00, 0x00, 0x01, static_cast<std::uint8_t>(s << 3)});
  }
  EXPECT_EQ(store.decode(decoder, hollow.data(), hollow.size()), nullptr);
}

TEST(DualPicture, SplitCopiesTheLeftAndRightHalfOfEveryPlane) {
  for (const int height : {224, 272}) {
    YuvPicture whole;
    whole.resize(640, height);
    const auto valueAt = [](int plane, int x, int y) { return static_cast<std::uint8_t>(x * 5 + y * 11 + plane * 97); };
    const int widths[3] = {640, 320, 320};
    const int heights[3] = {height, height / 2, height / 2};
    std::uint8_t* planes[3] = {whole.y(), whole.cb(), whole.cr()};
    for (int p = 0; p < 3; ++p) {
      for (int y = 0; y < heights[p]; ++y) {
        for (int x = 0; x < widths[p]; ++x) {
          planes[p][y * widths[p] + x] = valueAt(p, x, y);
        }
      }
    }
    YuvPicture left;
    YuvPicture right;
    splitDualPicture(whole.data.data(), 640, height, left, right);
    ASSERT_EQ(left.width, 320);
    ASSERT_EQ(right.width, 320);
    ASSERT_EQ(left.height, height);
    ASSERT_EQ(right.height, height);
    ASSERT_EQ(left.data.size(), 320u * height * 3 / 2);
    ASSERT_EQ(right.data.size(), 320u * height * 3 / 2);
    const std::uint8_t* leftPlanes[3] = {left.y(), left.cb(), left.cr()};
    const std::uint8_t* rightPlanes[3] = {right.y(), right.cb(), right.cr()};
    for (int p = 0; p < 3; ++p) {
      const int half = widths[p] / 2;
      for (int y = 0; y < heights[p]; ++y) {
        for (int x = 0; x < half; ++x) {
          ASSERT_EQ(leftPlanes[p][y * half + x], valueAt(p, x, y)) << height << " plane " << p;
          ASSERT_EQ(rightPlanes[p][y * half + x], valueAt(p, x + half, y)) << height << " plane " << p;
        }
      }
    }
  }
}

TEST(DualPicture, TwoChannelsEncodedSideBySideComeApartIntact) {
  const YuvPicture a = naturalPicture(320, 224, 7);
  const YuvPicture b = naturalPicture(320, 224, 8, 0.6, 0.3);
  YuvPicture both;
  both.resize(640, 224);
  for (int y = 0; y < 224; ++y) {
    std::copy_n(a.y() + y * 320, 320, both.y() + y * 640);
    std::copy_n(b.y() + y * 320, 320, both.y() + y * 640 + 320);
  }
  for (int y = 0; y < 112; ++y) {
    std::copy_n(a.cb() + y * 160, 160, both.cb() + y * 320);
    std::copy_n(b.cb() + y * 160, 160, both.cb() + y * 320 + 160);
    std::copy_n(a.cr() + y * 160, 160, both.cr() + y * 320);
    std::copy_n(b.cr() + y * 160, 160, both.cr() + y * 320 + 160);
  }
  EncodeParams params;
  params.variant = 5;
  params.channel = 4;
  params.dual = true;
  params.secondChannel = 9;
  params.quality = 2;
  const Bytes payload = VideoEncoder().encode(both, params);
  VideoDecoder decoder;
  decoder.Init(5);
  std::vector<std::uint8_t> out(VideoDecoder::kMaxPictureBytes);
  ASSERT_NE(decoder.ParseHeader(payload.data(), payload.size()), 0u);
  ASSERT_EQ(decoder.Decode(payload.data(), payload.size(), out.data()), 1);
  EXPECT_TRUE(decoder.header().dual);
  EXPECT_EQ(decoder.header().firstChannel, 4);
  EXPECT_EQ(decoder.header().secondChannel, 9);
  YuvPicture left;
  YuvPicture right;
  splitDualPicture(out.data(), decoder.GetWidth(), decoder.GetHeight(), left, right);
  EXPECT_GE(planePsnr(a, left.data.data()).y, 35.0);
  EXPECT_GE(planePsnr(b, right.data.data()).y, 35.0);
  EXPECT_GE(planePsnr(a, left.data.data()).cr, 35.0);
  EXPECT_GE(planePsnr(b, right.data.data()).cb, 35.0);
}

// ---------------------------------------------------------------------------
// Bitstream hygiene and decoder versions.

int longestZeroRun(const Bytes& bytes, std::size_t begin, std::size_t end) {
  int longest = 0;
  int run = 0;
  for (std::size_t i = begin; i < end; ++i) {
    for (int bit = 7; bit >= 0; --bit) {
      if ((bytes[i] >> bit) & 1) {
        run = 0;
      } else {
        longest = std::max(longest, ++run);
      }
    }
  }
  return longest;
}

TEST(EncoderBitstream, NoSliceHoldsTwentyThreeZeroBitsInARow) {
  // Twenty-three zeros followed by a one would be a slice start code at
  // some alignment; the byte scan would then find extra slices.
  int longestSeen = 0;
  int pictures = 0;
  for (int quality = 1; quality <= 14; ++quality) {
    const int height = quality % 2 == 0 ? 224 : 272;
    VideoEncoder encoder;
    std::vector<Bytes> payloads;
    EncodeParams params;
    params.quality = quality;
    params.channel = 0;
    payloads.push_back(encoder.encode(naturalPicture(640, height, quality), params));
    params.refresh = false;  // changes in a few places only
    payloads.push_back(encoder.encode(naturalPicture(640, height, quality, 0.5, 0.5), params));
    params.channel = 1;
    params.refresh = true;
    payloads.push_back(encoder.encode(harshPicture(640, height, quality), params));
    if (quality % 3 == 1) {  // flat pictures have no AC codes: a few qualities suffice
      params.channel = 2;
      payloads.push_back(encoder.encode(uniformPicture(640, height, 0, 128, 128), params));  // black
      params.refresh = false;  // nothing changed: every slice is empty
      payloads.push_back(encoder.encode(uniformPicture(640, height, 0, 128, 128), params));
      params.channel = 3;
      params.refresh = true;
      payloads.push_back(encoder.encode(uniformPicture(640, height, 0, 0, 0), params));  // every DC would be 0
    }
    for (const Bytes& payload : payloads) {
      ++pictures;
      VideoDecoder decoder;
      decoder.Init(4);
      ASSERT_EQ(decoder.ParseHeader(payload.data(), payload.size()), payload.size()) << "quality " << quality;
      const codec::PictureHeader& h = decoder.header();
      ASSERT_EQ(h.sliceCount, static_cast<std::size_t>(height / 16));
      for (std::size_t s = 0; s < h.sliceCount; ++s) {
        const std::size_t begin = h.slices[s] + 3;
        const std::size_t end = s + 1 < h.sliceCount ? h.slices[s + 1] : payload.size();
        const int run = longestZeroRun(payload, begin, end);
        ASSERT_LT(run, 23) << "quality " << quality << " picture " << pictures << " slice " << s;
        longestSeen = std::max(longestSeen, run);
      }
      ASSERT_FALSE(decodeFresh(payload).empty());
    }
  }
  std::cout << "[ BITS     ] longest zero run inside a slice over " << pictures << " pictures: " << longestSeen << "\n";
  EXPECT_GE(longestSeen, 12);  // the content does reach long runs
}

TEST(EncoderBitstream, BlackPicturesDecodeToNearBlack) {
  // The DC byte is kept above 0, so black comes back as 1 at most.
  VideoEncoder encoder;
  const YuvPicture black = uniformPicture(640, 224, 0, 0, 0);
  const std::vector<std::uint8_t> decoded = decodeFresh(encoder.encode(black, EncodeParams{.quality = 8}));
  ASSERT_EQ(decoded.size(), black.data.size());
  EXPECT_TRUE(std::all_of(decoded.begin(), decoded.end(), [](std::uint8_t b) { return b <= 1; }));
}

TEST(DecoderVersions, EveryInverseTransformDecodesIdentically) {
  std::vector<Bytes> payloads;
  {
    VideoEncoder encoder;
    payloads.push_back(encoder.encode(naturalPicture(640, 224, 9), EncodeParams{.quality = 2}));
    payloads.push_back(encoder.encode(harshPicture(640, 272, 2), EncodeParams{.quality = 1}));
    payloads.push_back(encoder.encode(harshPicture(640, 224, 5), EncodeParams{.quality = 14}));
    payloads.push_back(encoder.encode(naturalPicture(640, 272, 6), EncodeParams{.quality = 7}));
  }
  IdctSelectionGuard guard;
  std::vector<std::vector<std::uint8_t>> expected;
  codec::selectIdct(codec::portableIdct());
  for (const Bytes& payload : payloads) {
    expected.push_back(decodeFresh(payload));
    ASSERT_FALSE(expected.back().empty());
  }
  VideoDecoder reused;  // built before the selection changes, then Init
  for (const codec::IdctKernel* kernel : codec::supportedIdcts()) {
    codec::selectIdct(*kernel);
    VideoDecoder fresh;
    EXPECT_STREQ(fresh.transformName(), kernel->name);
    reused.Init(4);
    EXPECT_STREQ(reused.transformName(), kernel->name);
    for (std::size_t i = 0; i < payloads.size(); ++i) {
      for (VideoDecoder* decoder : {&fresh, &reused}) {
        decoder->Init(4);
        std::vector<std::uint8_t> out(VideoDecoder::kMaxPictureBytes, 0);
        ASSERT_NE(decoder->ParseHeader(payloads[i].data(), payloads[i].size()), 0u);
        ASSERT_EQ(decoder->Decode(payloads[i].data(), payloads[i].size(), out.data()), 1);
        out.resize(expected[i].size());
        EXPECT_EQ(out, expected[i]) << kernel->name << " picture " << i;
      }
    }
  }
}

}  // namespace
}  // namespace marlin::codectest
