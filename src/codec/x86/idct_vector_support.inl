// Helpers shared by the SSE2 and AVX2 transforms; each including unit
// compiles them with its own flags, hence internal linkage.
#include <emmintrin.h>

namespace {

// The 32-bit constant that makes a multiply-add of 16-bit pairs compute
// first x a + second x b.
constexpr std::int32_t pairConstant(std::int32_t a, std::int32_t b) {
  return static_cast<std::int32_t>((static_cast<std::uint32_t>(b) << 16) | (static_cast<std::uint32_t>(a) & 0xFFFFu));
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
