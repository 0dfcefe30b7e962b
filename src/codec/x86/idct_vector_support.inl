// Helpers shared by the SSE2 and AVX2 transforms; each including unit
// compiles them with its own flags, hence internal linkage.
#include <emmintrin.h>

namespace {

// Rows r[0..7] of 8 int16 become columns in place.
inline void transpose8x8(__m128i r[8]) {
  const __m128i a0 = _mm_unpacklo_epi16(r[0], r[1]);
  const __m128i a1 = _mm_unpackhi_epi16(r[0], r[1]);
  const __m128i a2 = _mm_unpacklo_epi16(r[2], r[3]);
  const __m128i a3 = _mm_unpackhi_epi16(r[2], r[3]);
  const __m128i a4 = _mm_unpacklo_epi16(r[4], r[5]);
  const __m128i a5 = _mm_unpackhi_epi16(r[4], r[5]);
  const __m128i a6 = _mm_unpacklo_epi16(r[6], r[7]);
  const __m128i a7 = _mm_unpackhi_epi16(r[6], r[7]);
  const __m128i b0 = _mm_unpacklo_epi32(a0, a2);
  const __m128i b1 = _mm_unpackhi_epi32(a0, a2);
  const __m128i b2 = _mm_unpacklo_epi32(a1, a3);
  const __m128i b3 = _mm_unpackhi_epi32(a1, a3);
  const __m128i b4 = _mm_unpacklo_epi32(a4, a6);
  const __m128i b5 = _mm_unpackhi_epi32(a4, a6);
  const __m128i b6 = _mm_unpacklo_epi32(a5, a7);
  const __m128i b7 = _mm_unpackhi_epi32(a5, a7);
  r[0] = _mm_unpacklo_epi64(b0, b4);
  r[1] = _mm_unpackhi_epi64(b0, b4);
  r[2] = _mm_unpacklo_epi64(b1, b5);
  r[3] = _mm_unpackhi_epi64(b1, b5);
  r[4] = _mm_unpacklo_epi64(b2, b6);
  r[5] = _mm_unpackhi_epi64(b2, b6);
  r[6] = _mm_unpacklo_epi64(b3, b7);
  r[7] = _mm_unpackhi_epi64(b3, b7);
}

inline void loadRows(const std::int16_t* block, __m128i r[8]) {
  for (int i = 0; i < 8; ++i) {
    r[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 8 * i));
  }
}

// Eight 32-bit results (two halves of four) to bytes with saturation, which
// clamps to 0..255 exactly as the scalar clamp does.
inline void storeClampedRow(__m128i low, __m128i high, std::uint8_t* dest) {
  const __m128i words = _mm_packs_epi32(low, high);
  _mm_storel_epi64(reinterpret_cast<__m128i*>(dest), _mm_packus_epi16(words, words));
}

// Eight 32-bit results to -256..255, as 16-bit values.
inline void storeResidualRow(__m128i low, __m128i high, std::int16_t* dest) {
  const __m128i words = _mm_packs_epi32(low, high);
  const __m128i clipped = _mm_min_epi16(_mm_max_epi16(words, _mm_set1_epi16(-256)), _mm_set1_epi16(255));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(dest), clipped);
}

// Keeps the low 16 bits of each 32-bit lane, sign-extended: the row pass
// stores its results as 16-bit values.
inline __m128i truncateTo16(__m128i v) { return _mm_srai_epi32(_mm_slli_epi32(v, 16), 16); }

}  // namespace
