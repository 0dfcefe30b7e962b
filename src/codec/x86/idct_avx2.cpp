#include <immintrin.h>

#include <cstdint>

#include "codec/idct.h"
#include "codec/x86/idct_vector_support.inl"

namespace marlin::codec {

namespace {

// Eight 32-bit lanes with wrap-around arithmetic.
struct Lanes8 {
  __m256i v;
  Lanes8() = default;
  explicit Lanes8(__m256i value) : v(value) {}
  explicit Lanes8(std::int32_t value) : v(_mm256_set1_epi32(value)) {}
  friend Lanes8 operator+(Lanes8 a, Lanes8 b) { return Lanes8(_mm256_add_epi32(a.v, b.v)); }
  friend Lanes8 operator-(Lanes8 a, Lanes8 b) { return Lanes8(_mm256_sub_epi32(a.v, b.v)); }
  friend Lanes8 operator>>(Lanes8 a, int shift) { return Lanes8(_mm256_srai_epi32(a.v, shift)); }
  friend Lanes8 operator*(Lanes8 a, std::int32_t k) { return Lanes8(_mm256_mullo_epi32(a.v, _mm256_set1_epi32(k))); }
  static Lanes8 dot(__m256i pairs, std::int32_t a, std::int32_t b) {
    return Lanes8(_mm256_madd_epi16(pairs, _mm256_set1_epi32(pairConstant(a, b))));
  }
};

}  // namespace

#include "codec/idct_chen_wang.inl"
#include "codec/x86/idct_pairs.inl"

namespace {

__m128i low128(__m256i v) { return _mm256_castsi256_si128(v); }
__m128i high128(__m256i v) { return _mm256_extracti128_si256(v, 1); }
__m256i truncateTo16(__m256i v) { return _mm256_srai_epi32(_mm256_slli_epi32(v, 16), 16); }

struct Unpack {
  static __m256i lo16(__m256i a, __m256i b) { return _mm256_unpacklo_epi16(a, b); }
  static __m256i hi16(__m256i a, __m256i b) { return _mm256_unpackhi_epi16(a, b); }
  static __m256i lo32(__m256i a, __m256i b) { return _mm256_unpacklo_epi32(a, b); }
  static __m256i hi32(__m256i a, __m256i b) { return _mm256_unpackhi_epi32(a, b); }
};

// Each pass runs on eight vectors at once, vector i in the low half of a
// register and vector i + 4 in its high half, so that lanes 0..7 of its
// results stand for rows (or columns) 0..7.
// rows[j]: output row j before the clamp. Inlined into its callers so that
// the rows stay in registers instead of passing through the stack.
[[gnu::always_inline]] inline void transformAvx2(const std::int16_t* block, Lanes8 rows[8]) {
  __m256i inputs[4];
  for (int i = 0; i < 4; ++i) {
    inputs[i] = _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(block + 8 * (i + 4)),
                                    reinterpret_cast<const __m128i*>(block + 8 * i));
  }
  Lanes8 out[8];
  runPairedPass<Unpack>(inputs, out, chenWangRowPairs<Lanes8, __m256i>);
  // out[c]: the row results of column c. Packing c with c + 4 interleaves
  // their halves; the permutation puts column c low and c + 4 high.
  __m256i columns[4];
  for (int c = 0; c < 4; ++c) {
    const __m256i packed = _mm256_packs_epi32(truncateTo16(out[c].v), truncateTo16(out[c + 4].v));
    columns[c] = _mm256_permute4x64_epi64(packed, _MM_SHUFFLE(3, 1, 2, 0));
  }
  runPairedPass<Unpack>(columns, rows, chenWangColumnPairs<Lanes8, __m256i>);
}

void idctAvx2(std::int16_t* block, std::uint8_t* dest, std::ptrdiff_t stride) {
  Lanes8 rows[8];
  transformAvx2(block, rows);
  // Four rows at a time: the packs leave each row's halves in the two
  // 128-bit halves, and the permutation joins them, rows in order. The
  // saturation clamps to 0..255 as the scalar clamp does.
  const __m256i rowOrder = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
  for (int first = 0; first < 8; first += 4) {
    const __m256i words01 = _mm256_packs_epi32(rows[first].v, rows[first + 1].v);
    const __m256i words23 = _mm256_packs_epi32(rows[first + 2].v, rows[first + 3].v);
    const __m256i bytes = _mm256_permutevar8x32_epi32(_mm256_packus_epi16(words01, words23), rowOrder);
    std::uint8_t* d = dest + first * stride;
    _mm_storel_epi64(reinterpret_cast<__m128i*>(d), low128(bytes));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(d + stride), _mm_unpackhi_epi64(low128(bytes), low128(bytes)));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(d + 2 * stride), high128(bytes));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(d + 3 * stride), _mm_unpackhi_epi64(high128(bytes), high128(bytes)));
  }
}

void idctAvx2Residual(std::int16_t* block, std::int16_t* out) {
  Lanes8 rows[8];
  transformAvx2(block, rows);
  for (int j = 0; j < 8; ++j) {
    storeResidualRow(low128(rows[j].v), high128(rows[j].v), out + 8 * j);
  }
}

const IdctKernel kAvx2{"avx2", idctAvx2, idctAvx2Residual};

}  // namespace

const IdctKernel& avx2Idct() { return kAvx2; }

}  // namespace marlin::codec
