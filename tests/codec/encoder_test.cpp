#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <tuple>
#include <utility>
#include <vector>

#include "codec/encoder/video_encoder.h"
#include "codec/video_decoder.h"
#include "codec/yuv_picture.h"
#include "codec_test_support.h"

namespace marlin::codectest {
namespace {

using encoder::EncodeParams;
using encoder::VideoEncoder;

// Parses and decodes payload into a fresh buffer; empty on failure.
std::vector<std::uint8_t> decodeWith(VideoDecoder& decoder, const Bytes& payload) {
  std::vector<std::uint8_t> out(VideoDecoder::kMaxPictureBytes, 0);
  if (decoder.ParseHeader(payload.data(), payload.size()) == 0 ||
      decoder.Decode(payload.data(), payload.size(), out.data()) != 1) {
    return {};
  }
  out.resize(static_cast<std::size_t>(decoder.GetWidth()) * decoder.GetHeight() * 3 / 2);
  return out;
}

std::vector<std::uint8_t> decodeFresh(const Bytes& payload, CodecVariant variant = 4) {
  VideoDecoder decoder;
  decoder.Init(variant);
  return decodeWith(decoder, payload);
}

// Encodes source alone and measures what a decoder makes of it (0 dB when it does not decode).
std::pair<std::size_t, PlanePsnr> roundTrip(const YuvPicture& source, const EncodeParams& params) {
  const Bytes payload = VideoEncoder().encode(source, params);
  const std::vector<std::uint8_t> decoded = decodeFresh(payload, params.variant);
  EXPECT_EQ(decoded.size(), source.data.size()) << "quality " << params.quality;
  const PlanePsnr p = decoded.size() == source.data.size() ? planePsnr(source, decoded.data()) : PlanePsnr{};
  std::printf("[ PSNR     ] 640x%d quality %d: %zu bytes, Y %.2f dB, Cb %.2f dB, Cr %.2f dB\n", source.height,
              params.quality, payload.size(), p.y, p.cb, p.cr);
  return {payload.size(), p};
}

bool blockChangedBeyond(const std::uint8_t* a, const std::uint8_t* b, int stride, int threshold) {
  const auto close = [threshold](int x, int y) { return std::abs(x - y) <= threshold; };
  for (int r = 0; r < 8; ++r) {
    if (!std::equal(a + r * stride, a + r * stride + 8, b + r * stride, close)) {
      return true;
    }
  }
  return false;
}

void copyBlock(const std::uint8_t* from, std::uint8_t* to, int stride) {
  for (int r = 0; r < 8; ++r) {
    std::copy_n(from + r * stride, 8, to + r * stride);
  }
}

// Round trips.

TEST(EncoderRoundTrip, FidelityFollowsQuality) {
  // Quality 2 keeps natural content above 35 dB in every plane.
  for (const int height : {224, 272}) {
    for (const int seed : {0, 1}) {
      const PlanePsnr p = roundTrip(naturalPicture(640, height, seed), {.quality = 2}).second;
      EXPECT_GE(std::min({p.y, p.cb, p.cr}), 35.0) << height << " seed " << seed;
    }
  }
  // Coarser quality costs fidelity and saves bytes; 14 is still a recognisable picture.
  const YuvPicture source = naturalPicture(640, 224, 3);
  std::pair<std::size_t, PlanePsnr> previous{SIZE_MAX, {1000, 0, 0}};
  for (const int quality : {1, 3, 6, 10, 14}) {
    const auto now = roundTrip(source, {.quality = quality});
    EXPECT_LT(now.second.y, previous.second.y) << quality;
    EXPECT_LT(now.first, previous.first) << quality;
    EXPECT_GE(now.second.y, 28.0) << quality;
    previous = now;
  }
}

TEST(EncoderRoundTrip, EveryHeaderLayoutCarriesItsFields) {
  const YuvPicture first = naturalPicture(640, 272, 4);
  YuvPicture second = first;
  std::fill_n(second.y() + 50 * 640 + 100, 40, std::uint8_t{250});
  const struct {
    EncodeParams params;
    Bytes refresh, conditional;  // the bytes from the start code id on
  } cases[] = {
      // A: all-coded in bit 7, quality in bits 6-3, channel in bits 2-0.
      {{.variant = 0, .quality = 5, .channel = 3}, {0xF9, 0x80 | 5 << 3 | 3}, {0xF8, 5 << 3 | 3}},
      // B: quality in bits 7-4, channel in bits 3-0.
      {{.variant = 4, .quality = 7, .channel = 12}, {0xF9, 7 << 4 | 12}, {0xF8, 7 << 4 | 12}},
      // C: like A without a channel, then the 16-bit sequence number.
      {{.variant = 2, .quality = 9, .sequence = 0xA55A}, {0xF9, 0x80 | 9 << 3, 0xA5, 0x5A}, {0xF8, 9 << 3, 0xA5, 0x5A}},
      // D: like B, then the dual flag, the second channel and the hidden bits.
      {{.variant = 5, .quality = 3, .channel = 6, .dual = true, .secondChannel = 11, .firstHidden = true},
       {0xF9, 3 << 4 | 6, 0x80 | 11 << 3 | 0x04},
       {0xF8, 3 << 4 | 6, 0x80 | 11 << 3 | 0x04}},
      {{.variant = 5, .quality = 3, .channel = 6, .secondChannel = 1, .secondHidden = true},
       {0xF9, 3 << 4 | 6, 1 << 3 | 0x02},
       {0xF8, 3 << 4 | 6, 1 << 3 | 0x02}},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(::testing::Message() << "variant " << k.params.variant);
    VideoEncoder encoder;
    EncodeParams params = k.params;
    const Bytes refresh = encoder.encode(first, params);
    params.refresh = false;
    const Bytes conditional = encoder.encode(second, params);
    for (const auto& [payload, header] : {std::pair{&refresh, &k.refresh}, std::pair{&conditional, &k.conditional}}) {
      const auto headerEnd = static_cast<std::ptrdiff_t>(3 + header->size());
      ASSERT_GT(payload->size(), 3 + header->size());
      EXPECT_EQ(Bytes(payload->begin(), payload->begin() + 3), (Bytes{0x00, 0x00, 0x01}));
      EXPECT_EQ(Bytes(payload->begin() + 3, payload->begin() + headerEnd), *header);
      VideoDecoder decoder;
      decoder.Init(k.params.variant);
      ASSERT_EQ(decoder.ParseHeader(payload->data(), payload->size()), payload->size());
      EXPECT_EQ(decoder.header().slices[0], 3 + header->size()) << "the first slice follows the header";
      EXPECT_EQ(decoder.GetHeight(), 272);
    }
    // The slices do not depend on the layout.
    const std::vector<std::uint8_t> expected = decodeFresh(VideoEncoder().encode(first, {.quality = params.quality}));
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(decodeFresh(refresh, k.params.variant), expected);
  }
}

// Conditional pictures.

TEST(ConditionalEncoding, CodesOnlyWhatChangedAndDecodesOverThePreviousPicture) {
  constexpr int kWidth = 640;
  constexpr int kHeight = 224;
  constexpr int kThreshold = 2;
  const YuvPicture first = naturalPicture(kWidth, kHeight, 2, 0.3, 0.45);
  YuvPicture second = naturalPicture(kWidth, kHeight, 2, 0.36, 0.45);  // the disc moved right by ~38 pixels
  for (int y = 150; y < 190; ++y) {                                    // and a bright sign appeared
    std::fill_n(second.y() + y * kWidth + 480, 64, std::uint8_t{235});
  }
  for (int y = 0; y < 6; ++y) {  // and a patch of colour in the top row, where the luma is unchanged
    std::fill_n(second.cr() + y * kWidth / 2 + 100, 12, std::uint8_t{200});
  }
  VideoEncoder encoder;
  EncodeParams params{.quality = 3, .changeThreshold = kThreshold};
  const Bytes refresh = encoder.encode(first, params);
  params.refresh = false;
  const Bytes conditional = encoder.encode(second, params);
  EXPECT_LT(conditional.size() * 5, refresh.size()) << conditional.size() << " of " << refresh.size() << " bytes";

  VideoDecoder decoder;
  decoder.Init(4);
  PictureStore store;
  const YuvPicture* shown = store.decode(decoder, refresh.data(), refresh.size());
  ASSERT_NE(shown, nullptr);
  const std::vector<std::uint8_t> before = shown->data;
  EXPECT_EQ(before, decodeFresh(refresh));
  shown = store.decode(decoder, conditional.data(), conditional.size());
  ASSERT_NE(shown, nullptr);
  EXPECT_FALSE(decoder.header().allCoded);

  // A luma block is coded when one of its samples changed by more than the
  // threshold; a macroblock, with both chroma blocks, when any of its six
  // blocks did. Coded blocks show what a refresh picture gives, the others
  // keep what was shown.
  const std::vector<std::uint8_t> full = decodeFresh(VideoEncoder().encode(second, {.quality = 3}));
  ASSERT_EQ(full.size(), before.size());
  std::vector<std::uint8_t> expected = before;
  constexpr std::size_t kLuma = kWidth * kHeight;
  constexpr std::size_t kCr = kLuma * 5 / 4;
  int codedMacroblocks = 0;
  for (int row = 0; row < kHeight / 16; ++row) {
    for (int column = 0; column < kWidth / 16; ++column) {
      const auto lumaAt = [&](int j) {
        return static_cast<std::size_t>((16 * row + 8 * (j / 2)) * kWidth + 16 * column + 8 * (j % 2));
      };
      const auto chromaAt = static_cast<std::size_t>(8 * row * kWidth / 2 + 8 * column);
      const std::size_t at[6] = {lumaAt(0), lumaAt(1), lumaAt(2), lumaAt(3), kLuma + chromaAt, kCr + chromaAt};
      bool changed[6];
      bool any = false;
      for (int j = 0; j < 6; ++j) {
        changed[j] = blockChangedBeyond(second.data.data() + at[j], first.data.data() + at[j],
                                        j < 4 ? kWidth : kWidth / 2, kThreshold);
        any = any || changed[j];
      }
      codedMacroblocks += any ? 1 : 0;
      for (int j = 0; j < 6; ++j) {
        if (j < 4 ? changed[j] : any) {
          copyBlock(full.data() + at[j], expected.data() + at[j], j < 4 ? kWidth : kWidth / 2);
        }
      }
    }
  }
  EXPECT_GT(codedMacroblocks, 10);
  EXPECT_LT(codedMacroblocks, 100);
  EXPECT_EQ(shown->data, expected);
  const PlanePsnr p = planePsnr(second, shown->data.data());
  EXPECT_GE(p.y, 35.0);
  EXPECT_GE(p.cb, 35.0);
}

// Encodes scene(0) as a refresh picture and scene(1..count-1) as conditional
// ones, decoding each through a picture store: each picture's size and PSNR.
std::vector<std::pair<std::size_t, PlanePsnr>> playSequence(int count, const std::function<YuvPicture(int)>& scene,
                                                            EncodeParams params) {
  VideoEncoder encoder;
  VideoDecoder decoder;
  decoder.Init(params.variant);
  PictureStore store;
  std::vector<std::pair<std::size_t, PlanePsnr>> results;
  for (int t = 0; t < count; ++t) {
    const YuvPicture source = scene(t);
    params.refresh = t == 0;
    const Bytes payload = encoder.encode(source, params);
    const YuvPicture* shown = store.decode(decoder, payload.data(), payload.size());
    if (shown == nullptr) {
      ADD_FAILURE() << "picture " << t << " does not decode";
      break;
    }
    EXPECT_EQ(decoder.header().allCoded, t == 0) << t;
    results.emplace_back(payload.size(), planePsnr(source, shown->data.data()));
  }
  return results;
}

TEST(ConditionalEncoding, MovingSceneStaysFaithfulInSmallPictures) {
  const auto moving = [](int t) { return naturalPicture(640, 272, 5, 0.2 + 0.02 * t, 0.4 + 0.01 * t); };
  const auto pictures = playSequence(8, moving, {.quality = 2});
  ASSERT_EQ(pictures.size(), 8u);
  for (std::size_t t = 0; t < pictures.size(); ++t) {
    const auto& [bytes, p] = pictures[t];
    EXPECT_TRUE(t == 0 || bytes * 4 < pictures[0].first) << t << ": " << bytes << " bytes";
    EXPECT_GE(std::min({p.y, p.cb, p.cr}), 34.0) << t;
  }
}

TEST(ConditionalEncoding, SlowFadeDoesNotLeaveTheShownPictureBehind) {
  // Each picture is one level brighter than the one before: no single step
  // exceeds the change threshold, but the steps add up. A lag of a few levels
  // is acceptable; an ever-growing one is not.
  const YuvPicture first = naturalPicture(640, 224, 0);
  const auto brighter = [&first](int t) {
    YuvPicture p = first;
    std::for_each(p.y(), p.cb(), [t](std::uint8_t& v) { v = static_cast<std::uint8_t>(std::min(255, v + t)); });
    return p;
  };
  const auto pictures = playSequence(25, brighter, {});
  ASSERT_EQ(pictures.size(), 25u);
  for (std::size_t t = 0; t < pictures.size(); ++t) {
    EXPECT_GE(pictures[t].second.y, 35.0) << t << " levels brighter, " << pictures[t].first << " bytes";
  }
}

// Picture store and dual pictures.

TEST(PictureStoreTest, InterleavedChannelsDecodeAsIfEachWereAlone) {
  // Channels 1 and 2 and a dual picture of channel 1 (variant 5), with moving
  // content, each a refresh picture followed by conditional ones.
  constexpr CodecVariant kVariant = 5;
  VideoEncoder encoder;
  VideoDecoder sharedDecoder;
  PictureStore shared;
  VideoDecoder aloneDecoders[3];
  PictureStore alone[3];
  VideoDecoder naiveDecoder;  // one buffer for every channel
  std::vector<std::uint8_t> naive(VideoDecoder::kMaxPictureBytes, 0);
  for (VideoDecoder* d : {&sharedDecoder, &aloneDecoders[0], &aloneDecoders[1], &aloneDecoders[2], &naiveDecoder}) {
    d->Init(kVariant);
  }
  int naiveDiffers = 0;
  for (int t = 0; t < 5; ++t) {
    for (int stream = 0; stream < 3; ++stream) {
      const EncodeParams params{.variant = kVariant,
                                .quality = 4,
                                .channel = stream == 1 ? 2 : 1,
                                .refresh = t == 0,
                                .dual = stream == 2,
                                .secondChannel = 3};
      const Bytes payload =
          encoder.encode(naturalPicture(640, 224, 10 + stream, 0.2 + 0.05 * t + 0.2 * stream, 0.5), params);
      const YuvPicture* got = shared.decode(sharedDecoder, payload.data(), payload.size());
      const YuvPicture* want = alone[stream].decode(aloneDecoders[stream], payload.data(), payload.size());
      ASSERT_NE(got, nullptr);
      ASSERT_NE(want, nullptr);
      EXPECT_EQ(got->data, want->data) << "picture " << t << " stream " << stream;

      ASSERT_NE(naiveDecoder.ParseHeader(payload.data(), payload.size()), 0u);
      ASSERT_EQ(naiveDecoder.Decode(payload.data(), payload.size(), naive.data()), 1);
      naiveDiffers += std::equal(want->data.begin(), want->data.end(), naive.begin()) ? 0 : 1;
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
  Bytes hollow = pictureStart(true, {layoutBByte(4, 0)});  // 14 slices, all empty
  for (int s = 0; s < 14; ++s) {
    hollow.insert(hollow.end(), {0x00, 0x00, 0x01, static_cast<std::uint8_t>(s << 3)});
  }
  EXPECT_EQ(store.decode(decoder, hollow.data(), hollow.size()), nullptr);
}

TEST(DualPicture, TwoChannelsSideBySideSplitExactlyAndSurviveEncoding) {
  for (const int height : {224, 272}) {
    const YuvPicture a = naturalPicture(320, height, 7);
    const YuvPicture b = naturalPicture(320, height, 8, 0.6, 0.3);
    YuvPicture both;  // a and b side by side, row by row in every plane
    both.resize(640, height);
    for (int row = 0; row < 2 * height; ++row) {  // luma rows, then Cb and Cr rows of half the width
      const int w = row < height ? 320 : 160;
      const int from = row < height ? row * w : 320 * height + (row - height) * w;
      std::copy_n(a.data.data() + from, w, both.data.data() + 2 * from);
      std::copy_n(b.data.data() + from, w, both.data.data() + 2 * from + w);
    }
    YuvPicture left;
    YuvPicture right;
    splitDualPicture(both.data.data(), 640, height, left, right);
    for (const auto& [half, source] : {std::pair{&left, &a}, std::pair{&right, &b}}) {
      EXPECT_EQ(half->width, 320);
      EXPECT_EQ(half->height, height);
      EXPECT_EQ(half->data, source->data) << height;
    }

    const Bytes payload =
        VideoEncoder().encode(both, {.variant = 5, .quality = 2, .channel = 4, .dual = true, .secondChannel = 9});
    VideoDecoder decoder;
    decoder.Init(5);
    const std::vector<std::uint8_t> decoded = decodeWith(decoder, payload);
    ASSERT_EQ(decoded.size(), both.data.size());
    splitDualPicture(decoded.data(), decoder.GetWidth(), decoder.GetHeight(), left, right);
    for (const auto& [half, source] : {std::pair{&left, &a}, std::pair{&right, &b}}) {
      const PlanePsnr p = planePsnr(*source, half->data.data());
      EXPECT_GE(std::min({p.y, p.cb, p.cr}), 35.0) << height << (half == &left ? " left" : " right");
    }
  }
}

// Bitstream hygiene and decoder versions.

int longestZeroRun(const Bytes& bytes, std::size_t begin, std::size_t end) {
  int longest = 0;
  int run = 0;
  for (std::size_t i = begin; i < end; ++i) {
    for (int bit = 7; bit >= 0; --bit) {
      run = ((bytes[i] >> bit) & 1) ? 0 : run + 1;
      longest = std::max(longest, run);
    }
  }
  return longest;
}

TEST(EncoderBitstream, NoSliceHoldsTwentyThreeZeroBitsInARow) {
  // Twenty-three zeros followed by a one would be a slice start code at some
  // alignment, and the byte scan would find extra slices.
  int longestSeen = 0;
  for (int quality = 1; quality <= 14; ++quality) {
    const int height = quality % 2 == 0 ? 224 : 272;
    const YuvPicture black = uniformPicture(640, height, 0, 128, 128);
    std::vector<std::tuple<YuvPicture, int, bool>> pictures = {
        // (picture, channel, refresh)
        {naturalPicture(640, height, quality), 0, true},
        {naturalPicture(640, height, quality, 0.5, 0.5), 0, false},  // a few changes
        {harshPicture(640, height, quality), 1, true}};
    if (quality % 3 == 1) {  // flat pictures have no AC codes: a few qualities suffice
      pictures.emplace_back(black, 2, true);
      pictures.emplace_back(black, 2, false);                                // nothing changed: every slice is empty
      pictures.emplace_back(uniformPicture(640, height, 0, 0, 0), 3, true);  // DCs of 0
    }
    VideoEncoder encoder;
    for (const auto& [picture, channel, refresh] : pictures) {
      const Bytes payload = encoder.encode(picture, {.quality = quality, .channel = channel, .refresh = refresh});
      VideoDecoder decoder;
      decoder.Init(4);
      ASSERT_EQ(decoder.ParseHeader(payload.data(), payload.size()), payload.size()) << quality;
      const codec::PictureHeader& h = decoder.header();
      ASSERT_EQ(h.sliceCount, static_cast<std::size_t>(height / 16));
      for (std::size_t s = 0; s < h.sliceCount; ++s) {
        const std::size_t end = s + 1 < h.sliceCount ? h.slices[s + 1] : payload.size();
        const int run = longestZeroRun(payload, h.slices[s] + 3, end);
        ASSERT_LT(run, 23) << "quality " << quality << " channel " << channel << " refresh " << refresh << " slice "
                           << s;
        longestSeen = std::max(longestSeen, run);
      }
      ASSERT_FALSE(decodeWith(decoder, payload).empty());
    }
  }
  EXPECT_GE(longestSeen, 12) << "the content does reach long runs";
}

TEST(EncoderBitstream, BlackPicturesDecodeToNearBlack) {
  // The DC byte is kept above 0, so black comes back as 1 at most.
  const YuvPicture black = uniformPicture(640, 224, 0, 0, 0);
  const std::vector<std::uint8_t> decoded = decodeFresh(VideoEncoder().encode(black, {.quality = 8}));
  ASSERT_EQ(decoded.size(), black.data.size());
  EXPECT_TRUE(std::all_of(decoded.begin(), decoded.end(), [](std::uint8_t b) { return b <= 1; }));
}

TEST(DecoderVersions, EveryInverseTransformDecodesIdentically) {
  VideoEncoder encoder;
  const std::vector<Bytes> payloads = {
      encoder.encode(naturalPicture(640, 224, 9), {.quality = 2}),
      encoder.encode(harshPicture(640, 272, 2), {.quality = 1}),
      encoder.encode(harshPicture(640, 224, 5), {.quality = 14}),
      encoder.encode(naturalPicture(640, 272, 6), {.quality = 7}),
  };
  IdctSelectionGuard guard;
  codec::selectIdct(codec::portableIdct());
  std::vector<std::vector<std::uint8_t>> expected;
  for (const Bytes& payload : payloads) {
    expected.push_back(decodeFresh(payload));
    ASSERT_FALSE(expected.back().empty());
  }
  VideoDecoder reused;  // built before the selection changes, then Init
  for (const codec::IdctKernel* kernel : codec::supportedIdcts()) {
    codec::selectIdct(*kernel);
    EXPECT_STREQ(VideoDecoder().transformName(), kernel->name);
    reused.Init(4);
    EXPECT_STREQ(reused.transformName(), kernel->name);
    for (std::size_t i = 0; i < payloads.size(); ++i) {
      EXPECT_EQ(decodeFresh(payloads[i]), expected[i]) << kernel->name << " picture " << i;
      EXPECT_EQ(decodeWith(reused, payloads[i]), expected[i]) << kernel->name << " picture " << i;
    }
  }
}

}  // namespace
}  // namespace marlin::codectest
