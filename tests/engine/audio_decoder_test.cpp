// G.711 expansion and AudioDecoder: the wave format of each codec and the PCM
// each codec's frames turn into.
#include "engine/audio/audio_decoder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "codec/g711.h"

namespace marlin {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(G711, PublishedValues) {
  EXPECT_EQ(mulawToLinear(0xFF), 0);
  EXPECT_EQ(mulawToLinear(0x00), -32124);
  EXPECT_EQ(alawToLinear(0xD5), 8);
  EXPECT_EQ(alawToLinear(0x55), -8);
  EXPECT_EQ(alawToLinear(0xAA), 32256);
}

// The sign bit mirrors the sample, and the magnitude grows strictly with the
// other seven bits (after undoing the line inversion: all bits for μ-law, the
// even bits for A-law), so no segment or step is out of place.
TEST(G711, EveryCodeIsSymmetricAndMonotonic) {
  for (int bits = 0; bits < 128; ++bits) {
    const auto mu = static_cast<std::uint8_t>(~bits);
    const auto a = static_cast<std::uint8_t>((bits | 0x80) ^ 0x55);
    EXPECT_EQ(mulawToLinear(mu), -mulawToLinear(static_cast<std::uint8_t>(mu ^ 0x80))) << bits;
    EXPECT_EQ(alawToLinear(a), -alawToLinear(static_cast<std::uint8_t>(a ^ 0x80))) << bits;
    if (bits > 0) {
      EXPECT_GT(mulawToLinear(mu), mulawToLinear(static_cast<std::uint8_t>(mu + 1))) << bits;
      EXPECT_GT(alawToLinear(a), alawToLinear(static_cast<std::uint8_t>(((bits - 1) | 0x80) ^ 0x55))) << bits;
    }
  }
}

// Companding a code's own expansion gives the code back, and every sample of
// a step goes to that step's code.
TEST(G711, ALawCompandingInvertsTheExpansion) {
  for (int code = 0; code < 256; ++code) {
    const auto a = static_cast<std::uint8_t>(code);
    EXPECT_EQ(linearToAlaw(alawToLinear(a)), a) << code;
  }
  EXPECT_EQ(linearToAlaw(32767), 0xAA);
  EXPECT_EQ(linearToAlaw(-32768), 0x2A);
  EXPECT_EQ(alawToLinear(linearToAlaw(1000)), 1008);
  EXPECT_EQ(alawToLinear(linearToAlaw(1023)), 1008);
}

TEST(AudioDecoder, WaveFormatOfEachWidth) {
  AudioDecoder decoder;
  EXPECT_EQ(decoder.codec(), 1);
  EXPECT_EQ(decoder.sampleRate(), 8000);

  WaveFormat format{};
  ASSERT_EQ(decoder.setFormat(5, 8000, &format), 1);
  EXPECT_EQ(format.formatTag, 1);
  EXPECT_EQ(format.channels, 1);
  EXPECT_EQ(format.samplesPerSec, 8000U);
  EXPECT_EQ(format.bitsPerSample, 16);
  EXPECT_EQ(format.blockAlign, 2);
  EXPECT_EQ(format.avgBytesPerSec, 16000U);
  EXPECT_EQ(format.cbSize, 0);

  ASSERT_EQ(decoder.setFormat(1, 8000, &format), 1);
  EXPECT_EQ(format.bitsPerSample, 8);
  EXPECT_EQ(format.blockAlign, 1);
  EXPECT_EQ(format.avgBytesPerSec, 8000U);

  EXPECT_EQ(decoder.setFormat(3, 11025, nullptr), 0);
  EXPECT_EQ(decoder.codec(), 3);
  EXPECT_EQ(decoder.sampleRate(), 11025);
}

Bytes convert(int codec, const Bytes& in) {
  AudioDecoder decoder;
  decoder.setFormat(codec, 8000, nullptr);
  Bytes out(2 * in.size() + 1, 0xEE);
  std::uint32_t outLength = 12345;
  EXPECT_EQ(decoder.convert(in.data(), static_cast<std::uint32_t>(in.size()), out.data(), outLength), 1);
  EXPECT_LE(outLength, 2 * in.size());
  out.resize(outLength);
  return out;
}

TEST(AudioDecoder, ConvertsEachCodec) {
  const Bytes in = {0x00, 0x7F, 0x80, 0xFF};
  EXPECT_EQ(convert(1, in), in);
  EXPECT_EQ(convert(2, in), (Bytes{0x80, 0xFF, 0x00, 0x7F}));
  EXPECT_EQ(convert(3, in), in);
  EXPECT_EQ(convert(4, in), in);
  // Little-endian 16-bit samples: μ-law 0xFF = 0, 0x00 = -32124 (0x8284).
  EXPECT_EQ(convert(6, {0xFF, 0x00}), (Bytes{0x00, 0x00, 0x84, 0x82}));
  EXPECT_EQ(convert(5, {0xD5, 0x55}), (Bytes{0x08, 0x00, 0xF8, 0xFF}));
  EXPECT_TRUE(convert(7, in).empty());
  EXPECT_TRUE(convert(0, in).empty());
}

}  // namespace
}  // namespace marlin
