#include <cstdint>
#include <immintrin.h>

#include "codec/idct.h"
#include "codec/x86/idct_vector_support.inl"

namespace marlin::codec {

namespace {

// Eight 32-bit lanes with wrap-around arithmetic.
struct Lanes8 {
  __m256i v;
  explicit Lanes8(__m256i value) : v(value) {}
  explicit Lanes8(std::int32_t value) : v(_mm256_set1_epi32(value)) {}
  friend Lanes8 operator+(Lanes8 a, Lanes8 b) { return Lanes8(_mm256_add_epi32(a.v, b.v)); }
  friend Lanes8 operator-(Lanes8 a, Lanes8 b) { return Lanes8(_mm256_sub_epi32(a.v, b.v)); }
  friend Lanes8 operator>>(Lanes8 a, int shift) { return Lanes8(_mm256_srai_epi32(a.v, shift)); }
  friend Lanes8 operator*(Lanes8 a, std::int32_t k) { return Lanes8(_mm256_mullo_epi32(a.v, _mm256_set1_epi32(k))); }
};

}  // namespace

#include "codec/idct_chen_wang.inl"

namespace {

__m128i low128(__m256i v) { return _mm256_castsi256_si128(v); }
__m128i high128(__m256i v) { return _mm256_extracti128_si256(v, 1); }

// Lanes run over the eight rows in the row pass and over the eight columns
// in the column pass.
// store(row, low, high) receives each output row as two halves of four lanes.
template <class Store>
void transformAvx2(std::int16_t* block, Store store) {
  __m128i words[8];
  loadRows(block, words);
  transpose8x8(words);
  Lanes8 in[8] = {Lanes8(0), Lanes8(0), Lanes8(0), Lanes8(0), Lanes8(0), Lanes8(0), Lanes8(0), Lanes8(0)};
  Lanes8 out[8] = {Lanes8(0), Lanes8(0), Lanes8(0), Lanes8(0), Lanes8(0), Lanes8(0), Lanes8(0), Lanes8(0)};
  for (int k = 0; k < 8; ++k) {
    in[k] = Lanes8(_mm256_cvtepi16_epi32(words[k]));
  }
  chenWangRow(in, out);
  for (int j = 0; j < 8; ++j) {
    const __m256i kept = _mm256_srai_epi32(_mm256_slli_epi32(out[j].v, 16), 16);
    words[j] = _mm_packs_epi32(low128(kept), high128(kept));
  }
  transpose8x8(words);
  for (int k = 0; k < 8; ++k) {
    in[k] = Lanes8(_mm256_cvtepi16_epi32(words[k]));
  }
  chenWangColumn(in, out);
  for (int j = 0; j < 8; ++j) {
    store(j, low128(out[j].v), high128(out[j].v));
  }
}

void idctAvx2(std::int16_t* block, std::uint8_t* dest, std::ptrdiff_t stride) {
  transformAvx2(block, [dest, stride](int row, __m128i low, __m128i high) {
    storeClampedRow(low, high, dest + row * stride);
  });
}

void idctAvx2Residual(std::int16_t* block, std::int16_t* out) {
  transformAvx2(block, [out](int row, __m128i low, __m128i high) { storeResidualRow(low, high, out + 8 * row); });
}

const IdctKernel kAvx2{"avx2", idctAvx2, idctAvx2Residual};

}  // namespace

const IdctKernel& avx2Idct() { return kAvx2; }

}  // namespace marlin::codec
