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

const Kernel kSse2{"sse2", rowToRgbSse2};

}  // namespace

const Kernel& sse2Kernel() { return kSse2; }

}  // namespace marlin::colour
