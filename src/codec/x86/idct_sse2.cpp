#include <cstdint>

#include "codec/idct.h"
#include "codec/x86/idct_vector_support.inl"

namespace marlin::codec {

namespace {

// Four 32-bit lanes with wrap-around arithmetic.
struct Lanes4 {
  __m128i v;
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
};

}  // namespace

#include "codec/idct_chen_wang.inl"

namespace {

Lanes4 lowHalf(__m128i words) { return Lanes4(_mm_srai_epi32(_mm_unpacklo_epi16(words, words), 16)); }
Lanes4 highHalf(__m128i words) { return Lanes4(_mm_srai_epi32(_mm_unpackhi_epi16(words, words), 16)); }

// Lanes run over rows in the row pass and over columns in the column pass;
// each pass works on two halves of four lanes.
// store(row, low, high) receives each output row as two halves of four lanes.
template <class Store>
void transformSse2(std::int16_t* block, Store store) {
  __m128i rows[8];
  loadRows(block, rows);
  transpose8x8(rows);  // rows[k]: input k of every row
  __m128i columns[8];
  for (int half = 0; half < 2; ++half) {
    Lanes4 in[8] = {Lanes4(0), Lanes4(0), Lanes4(0), Lanes4(0), Lanes4(0), Lanes4(0), Lanes4(0), Lanes4(0)};
    for (int k = 0; k < 8; ++k) {
      in[k] = half == 0 ? lowHalf(rows[k]) : highHalf(rows[k]);
    }
    Lanes4 out[8] = {Lanes4(0), Lanes4(0), Lanes4(0), Lanes4(0), Lanes4(0), Lanes4(0), Lanes4(0), Lanes4(0)};
    chenWangRow(in, out);
    for (int j = 0; j < 8; ++j) {
      const __m128i kept = truncateTo16(out[j].v);
      columns[j] = half == 0 ? kept : _mm_packs_epi32(columns[j], kept);
    }
  }
  transpose8x8(columns);  // columns[k]: input k of every column
  Lanes4 results[2][8] = {
      {Lanes4(0), Lanes4(0), Lanes4(0), Lanes4(0), Lanes4(0), Lanes4(0), Lanes4(0), Lanes4(0)},
      {Lanes4(0), Lanes4(0), Lanes4(0), Lanes4(0), Lanes4(0), Lanes4(0), Lanes4(0), Lanes4(0)}};
  for (int half = 0; half < 2; ++half) {
    Lanes4 in[8] = {Lanes4(0), Lanes4(0), Lanes4(0), Lanes4(0), Lanes4(0), Lanes4(0), Lanes4(0), Lanes4(0)};
    for (int k = 0; k < 8; ++k) {
      in[k] = half == 0 ? lowHalf(columns[k]) : highHalf(columns[k]);
    }
    chenWangColumn(in, results[half]);
  }
  for (int j = 0; j < 8; ++j) {
    store(j, results[0][j].v, results[1][j].v);
  }
}

void idctSse2(std::int16_t* block, std::uint8_t* dest, std::ptrdiff_t stride) {
  transformSse2(block, [dest, stride](int row, __m128i low, __m128i high) {
    storeClampedRow(low, high, dest + row * stride);
  });
}

void idctSse2Residual(std::int16_t* block, std::int16_t* out) {
  transformSse2(block, [out](int row, __m128i low, __m128i high) { storeResidualRow(low, high, out + 8 * row); });
}

const IdctKernel kSse2{"sse2", idctSse2, idctSse2Residual};

}  // namespace

const IdctKernel& sse2Idct() { return kSse2; }

}  // namespace marlin::codec
