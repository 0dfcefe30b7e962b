#include <emmintrin.h>

#include "codec/colour_convert.h"

namespace marlin::colour {

namespace {

// 16 pixels per step: the chroma terms of 8 samples by multiply-add in 32
// bits, shifted like the tables' >> 10 (Y x 1024 is a multiple of 1024, so
// (Y x 1024 + t) >> 10 equals Y + (t >> 10)), then added to Y with unsigned
// saturation and raised to at least 1.
void rowToRgbSse2(const std::uint8_t* y, const std::uint8_t* cb, const std::uint8_t* cr, int width,
                  std::uint8_t* r, std::uint8_t* g, std::uint8_t* b) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i bias = _mm_set1_epi16(128);
  const __m128i one = _mm_set1_epi8(1);
  const __m128i redFactors = _mm_set_epi16(1436, 0, 1436, 0, 1436, 0, 1436, 0);
  const __m128i blueFactors = _mm_set_epi16(0, 1815, 0, 1815, 0, 1815, 0, 1815);
  const __m128i greenFactors = _mm_set_epi16(-731, -352, -731, -352, -731, -352, -731, -352);
  int x = 0;
  for (; x + 16 <= width; x += 16) {
    const __m128i cb16 = _mm_sub_epi16(_mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(cb + x / 2)), zero), bias);
    const __m128i cr16 = _mm_sub_epi16(_mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(cr + x / 2)), zero), bias);
    const __m128i pairsLow = _mm_unpacklo_epi16(cb16, cr16);   // cb, cr of samples 0-3
    const __m128i pairsHigh = _mm_unpackhi_epi16(cb16, cr16);  // samples 4-7
    const auto term = [&](__m128i factors) {
      return _mm_packs_epi32(_mm_srai_epi32(_mm_madd_epi16(pairsLow, factors), 10),
                             _mm_srai_epi32(_mm_madd_epi16(pairsHigh, factors), 10));
    };
    const __m128i offsets[3] = {term(redFactors), term(greenFactors), term(blueFactors)};
    const __m128i luma = _mm_loadu_si128(reinterpret_cast<const __m128i*>(y + x));
    const __m128i lumaLow = _mm_unpacklo_epi8(luma, zero);
    const __m128i lumaHigh = _mm_unpackhi_epi8(luma, zero);
    std::uint8_t* outputs[3] = {r, g, b};
    for (int c = 0; c < 3; ++c) {
      const __m128i low = _mm_add_epi16(lumaLow, _mm_unpacklo_epi16(offsets[c], offsets[c]));
      const __m128i high = _mm_add_epi16(lumaHigh, _mm_unpackhi_epi16(offsets[c], offsets[c]));
      const __m128i bytes = _mm_max_epu8(_mm_packus_epi16(low, high), one);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(outputs[c] + x), bytes);
    }
  }
  if (x < width) {
    portableKernel().rowToRgb(y + x, cb + x / 2, cr + x / 2, width - x, r + x, g + x, b + x);
  }
}

// 16 pixels as four vectors of B, G, R, 0 quads: B, G pairs and R, 0 pairs,
// then both interleaved.
void loadQuads(const std::uint8_t* r, const std::uint8_t* g, const std::uint8_t* b, __m128i quads[4]) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i blue = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b));
  const __m128i green = _mm_loadu_si128(reinterpret_cast<const __m128i*>(g));
  const __m128i red = _mm_loadu_si128(reinterpret_cast<const __m128i*>(r));
  const __m128i blueGreenLow = _mm_unpacklo_epi8(blue, green);
  const __m128i blueGreenHigh = _mm_unpackhi_epi8(blue, green);
  const __m128i redZeroLow = _mm_unpacklo_epi8(red, zero);
  const __m128i redZeroHigh = _mm_unpackhi_epi8(red, zero);
  quads[0] = _mm_unpacklo_epi16(blueGreenLow, redZeroLow);
  quads[1] = _mm_unpackhi_epi16(blueGreenLow, redZeroLow);
  quads[2] = _mm_unpacklo_epi16(blueGreenHigh, redZeroHigh);
  quads[3] = _mm_unpackhi_epi16(blueGreenHigh, redZeroHigh);
}

void packBgraSse2(std::uint8_t* out, const std::uint8_t* r, const std::uint8_t* g, const std::uint8_t* b, int n) {
  int i = 0;
  for (; i + 16 <= n; i += 16) {
    __m128i quads[4];
    loadQuads(r + i, g + i, b + i, quads);
    for (int q = 0; q < 4; ++q) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * i + 16 * q), quads[q]);
    }
  }
  portableKernel().packBgra(out + 4 * i, r + i, g + i, b + i, n - i);
}

// B, G, R, 0 quads squeezed to B, G, R triples: in each 64-bit half the
// second pixel moves down one byte, then the two halves close up. Each
// 16-byte store holds 12 valid bytes and is overlapped by the next, so the
// loop stops while at least two pixels remain for the last store to spill over.
void packBgr24Sse2(std::uint8_t* out, const std::uint8_t* r, const std::uint8_t* g, const std::uint8_t* b, int n) {
  const __m128i firstPixel = _mm_set1_epi64x(0x0000000000FFFFFF);
  const __m128i secondPixel = _mm_set1_epi64x(0x0000FFFFFF000000);
  const __m128i lowSixBytes = _mm_set_epi64x(0, 0x0000FFFFFFFFFFFF);
  int i = 0;
  for (; i + 18 <= n; i += 16) {
    __m128i quads[4];
    loadQuads(r + i, g + i, b + i, quads);
    for (int q = 0; q < 4; ++q) {
      const __m128i pairs = _mm_or_si128(_mm_and_si128(quads[q], firstPixel),
                                         _mm_and_si128(_mm_srli_epi64(quads[q], 8), secondPixel));
      const __m128i triples =
          _mm_or_si128(_mm_and_si128(pairs, lowSixBytes), _mm_slli_si128(_mm_srli_si128(pairs, 8), 6));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 3 * i + 12 * q), triples);
    }
  }
  portableKernel().packBgr24(out + 3 * i, r + i, g + i, b + i, n - i);
}

const Kernel kSse2{"sse2", rowToRgbSse2, packBgraSse2, packBgr24Sse2};

}  // namespace

const Kernel& sse2Kernel() { return kSse2; }

}  // namespace marlin::colour
