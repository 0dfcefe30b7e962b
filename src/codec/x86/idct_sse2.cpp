#include <cstdint>

#include "codec/idct.h"
#include "codec/x86/idct_vector_support.inl"

namespace marlin::codec {

namespace {

// Four 32-bit lanes with wrap-around arithmetic.
struct Lanes4 {
  __m128i v;
  Lanes4() = default;
  explicit Lanes4(__m128i value) : v(value) {}
  explicit Lanes4(std::int32_t value) : v(_mm_set1_epi32(value)) {}
  friend Lanes4 operator+(Lanes4 a, Lanes4 b) { return Lanes4(_mm_add_epi32(a.v, b.v)); }
  friend Lanes4 operator-(Lanes4 a, Lanes4 b) { return Lanes4(_mm_sub_epi32(a.v, b.v)); }
  friend Lanes4 operator>>(Lanes4 a, int shift) { return Lanes4(_mm_srai_epi32(a.v, shift)); }
  // SSE2 has no 32-bit low multiply: the low halves of two unsigned
  // 32x32 products are the wrapped signed products.
  friend Lanes4 operator*(Lanes4 a, std::int32_t k) {
    const __m128i factor = _mm_set1_epi32(k);
    const __m128i even = _mm_mul_epu32(a.v, factor);
    const __m128i odd = _mm_mul_epu32(_mm_srli_epi64(a.v, 32), factor);
    return Lanes4(_mm_unpacklo_epi32(_mm_shuffle_epi32(even, _MM_SHUFFLE(0, 0, 2, 0)),
                                     _mm_shuffle_epi32(odd, _MM_SHUFFLE(0, 0, 2, 0))));
  }
  static Lanes4 dot(__m128i pairs, std::int32_t a, std::int32_t b) {
    return Lanes4(_mm_madd_epi16(pairs, _mm_set1_epi32(pairConstant(a, b))));
  }
};

}  // namespace

#include "codec/idct_chen_wang.inl"
#include "codec/x86/idct_pairs.inl"

namespace {

struct Unpack {
  static __m128i lo16(__m128i a, __m128i b) { return _mm_unpacklo_epi16(a, b); }
  static __m128i hi16(__m128i a, __m128i b) { return _mm_unpackhi_epi16(a, b); }
  static __m128i lo32(__m128i a, __m128i b) { return _mm_unpacklo_epi32(a, b); }
  static __m128i hi32(__m128i a, __m128i b) { return _mm_unpackhi_epi32(a, b); }
};

// Each pass works on two halves of four lanes: rows 0..3 and 4..7 in the
// row pass, columns 0..3 and 4..7 in the column pass, lanes 0..3 of a
// half's results standing for its four rows or columns.
// store(row, low, high) receives each output row as two halves of four lanes.
template <class Store>
void transformSse2(std::int16_t* block, Store store) {
  __m128i rows[8];
  loadRows(block, rows);
  Lanes4 low[8];
  Lanes4 high[8];
  runPairedPass<Unpack>(rows, low, chenWangRowPairs<Lanes4, __m128i>);
  runPairedPass<Unpack>(rows + 4, high, chenWangRowPairs<Lanes4, __m128i>);
  __m128i columns[8];  // columns[c]: the eight row results of column c
  for (int c = 0; c < 8; ++c) {
    columns[c] = _mm_packs_epi32(truncateTo16(low[c].v), truncateTo16(high[c].v));
  }
  runPairedPass<Unpack>(columns, low, chenWangColumnPairs<Lanes4, __m128i>);
  runPairedPass<Unpack>(columns + 4, high, chenWangColumnPairs<Lanes4, __m128i>);
  for (int j = 0; j < 8; ++j) {
    store(j, low[j].v, high[j].v);
  }
}

void idctSse2(std::int16_t* block, std::uint8_t* dest, std::ptrdiff_t stride) {
  transformSse2(
      block, [dest, stride](int row, __m128i low, __m128i high) { storeClampedRow(low, high, dest + row * stride); });
}

void idctSse2Residual(std::int16_t* block, std::int16_t* out) {
  transformSse2(block, [out](int row, __m128i low, __m128i high) { storeResidualRow(low, high, out + 8 * row); });
}

const IdctKernel kSse2{"sse2", idctSse2, idctSse2Residual};

}  // namespace

const IdctKernel& sse2Idct() { return kSse2; }

}  // namespace marlin::codec
