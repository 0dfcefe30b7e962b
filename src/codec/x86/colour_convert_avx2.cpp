#include <immintrin.h>

#include "codec/colour_convert.h"
#include "codec/x86/colour_row_pair_steps.h"

namespace marlin::colour {

namespace {

// 32 pixels per row and step. AVX2 unpacks work within 128-bit halves, so the
// luma and chroma samples are first put in the order (4-byte groups 0, 2, 4,
// 6, 1, 3, 5, 7) that makes the final unpacks of B | G << 8 with R give
// 8 pixels per vector in picture order.
// (A function, not a constant: a static initialiser would run AVX2 code on
// processors without it.)
[[gnu::always_inline]] inline __m256i inGroupOrder(__m256i v) {
  return _mm256_permutevar8x32_epi32(v, _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7));
}

// The R, G, B offsets of 16 chroma samples in 16 bits, in group order.
// (c x k) >> 10 is the high half of (c x 64) x k, exactly; green sums two
// products before its shift, so it takes a multiply-add in 32 bits.
// Each offset serves two neighbouring pixels, so each comes twice: [0] for
// the pixels of the step's first luma unpack, [1] for its second.
struct ChromaOffsets {
  __m256i red[2], green[2], blue[2];
};

[[gnu::always_inline]] inline ChromaOffsets twice(__m256i red, __m256i green, __m256i blue) {
  return {{_mm256_unpacklo_epi16(red, red), _mm256_unpackhi_epi16(red, red)},
          {_mm256_unpacklo_epi16(green, green), _mm256_unpackhi_epi16(green, green)},
          {_mm256_unpacklo_epi16(blue, blue), _mm256_unpackhi_epi16(blue, blue)}};
}

// The offsets of 16 chroma samples, each once, in the order of cb16 and cr16.
struct Offsets {
  __m256i red, green, blue;
};

[[gnu::always_inline]] inline Offsets offsetsOf(__m256i cb16, __m256i cr16) {
  const __m256i greenFactors = _mm256_set1_epi32(static_cast<int>(0xFD25FEA0u));  // -731 << 16 | -352
  const __m256i greenLow = _mm256_srai_epi32(_mm256_madd_epi16(_mm256_unpacklo_epi16(cb16, cr16), greenFactors), 10);
  const __m256i greenHigh = _mm256_srai_epi32(_mm256_madd_epi16(_mm256_unpackhi_epi16(cb16, cr16), greenFactors), 10);
  return {_mm256_mulhi_epi16(_mm256_slli_epi16(cr16, 6), _mm256_set1_epi16(1436)),
          _mm256_packs_epi32(greenLow, greenHigh),
          _mm256_mulhi_epi16(_mm256_slli_epi16(cb16, 6), _mm256_set1_epi16(1815))};
}

[[gnu::always_inline]] inline __m256i centred(const std::uint8_t* samples) {
  const __m256i wide = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(samples)));
  return _mm256_sub_epi16(wide, _mm256_set1_epi16(128));
}

[[gnu::always_inline]] inline ChromaOffsets chromaOffsets(const std::uint8_t* cb, const std::uint8_t* cr) {
  const Offsets o = offsetsOf(inGroupOrder(centred(cb)), inGroupOrder(centred(cr)));
  return twice(o.red, o.green, o.blue);
}

// Halving: 32 chroma samples, one per pixel. A row's first luma unpack
// holds pixels 0-3, 8-11 | 4-7, 12-15 (the second those 16 further on), so
// the 64-bit quarters of each 16 samples swap in the middle to match.
[[gnu::always_inline]] inline __m256i centredForHalving(const std::uint8_t* samples) {
  return _mm256_permute4x64_epi64(centred(samples), 0xD8);
}

[[gnu::always_inline]] inline ChromaOffsets halvingChromaOffsets(const std::uint8_t* cb, const std::uint8_t* cr) {
  const Offsets low = offsetsOf(centredForHalving(cb), centredForHalving(cr));
  const Offsets high = offsetsOf(centredForHalving(cb + 16), centredForHalving(cr + 16));
  return {{low.red, high.red}, {low.green, high.green}, {low.blue, high.blue}};
}

// Luma plus offset, clamped to 1..255, in 16 bits.
[[gnu::always_inline]] inline __m256i component(__m256i luma, __m256i offset) {
  return _mm256_min_epi16(_mm256_max_epi16(_mm256_add_epi16(luma, offset), _mm256_set1_epi16(1)),
                          _mm256_set1_epi16(255));
}

// 16 pixels as two vectors of B, G, R, 0: B | G << 8 beside R, whose high
// byte is already 0.
[[gnu::always_inline]] inline void quads(__m256i luma, __m256i red, __m256i green, __m256i blue, __m256i& low,
                                         __m256i& high) {
  const __m256i blueGreen = _mm256_or_si256(component(luma, blue), _mm256_slli_epi16(component(luma, green), 8));
  const __m256i redZero = component(luma, red);
  low = _mm256_unpacklo_epi16(blueGreen, redZero);
  high = _mm256_unpackhi_epi16(blueGreen, redZero);
}

// 32 pixels of one row, given as luma bytes in group order, as four vectors
// of 8 B, G, R, 0 quads each.
[[gnu::always_inline]] inline void quadsOfRow(__m256i luma, const ChromaOffsets& o, __m256i out[4]) {
  const __m256i zero = _mm256_setzero_si256();
  quads(_mm256_unpacklo_epi8(luma, zero), o.red[0], o.green[0], o.blue[0], out[0], out[1]);
  quads(_mm256_unpackhi_epi8(luma, zero), o.red[1], o.green[1], o.blue[1], out[2], out[3]);
}

[[gnu::always_inline]] inline void rowQuads(const std::uint8_t* y, const ChromaOffsets& o, __m256i out[4]) {
  quadsOfRow(inGroupOrder(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(y))), o, out);
}

// The even samples of 64 luma bytes. Packing works within 128-bit halves, so
// its 4-byte groups come out as 0, 1, 4, 5, 2, 3, 6, 7; one permute puts
// them in group order.
[[gnu::always_inline]] inline void halvingRowQuads(const std::uint8_t* y, const ChromaOffsets& o, __m256i out[4]) {
  const __m256i evenBytes = _mm256_set1_epi16(0x00FF);
  const __m256i first = _mm256_and_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(y)), evenBytes);
  const __m256i second = _mm256_and_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(y + 32)), evenBytes);
  const __m256i packed = _mm256_packus_epi16(first, second);
  quadsOfRow(_mm256_permutevar8x32_epi32(packed, _mm256_setr_epi32(0, 4, 2, 6, 1, 5, 3, 7)), o, out);
}

[[gnu::always_inline]] inline void storeBgra(std::uint8_t* out, const __m256i q[4]) {
  for (int i = 0; i < 4; ++i) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 32 * i), q[i]);
  }
}

// Each half's four quads close up into 12 bytes, then the halves into 24.
// Each 32-byte store is overlapped by the next; the last writes exactly its 24.
[[gnu::always_inline]] inline void storeBgr24(std::uint8_t* out, const __m256i q[4]) {
  const __m256i dropFourth = _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1,  //
                                              0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
  const __m256i closeHalves = _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 7, 7);
  __m256i triples[4];
  for (int i = 0; i < 4; ++i) {
    triples[i] = _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(q[i], dropFourth), closeHalves);
  }
  for (int i = 0; i < 3; ++i) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 24 * i), triples[i]);
  }
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 72), _mm256_castsi256_si128(triples[3]));
  _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 88), _mm256_extracti128_si256(triples[3], 1));
}

template <int pixelBytes, auto store, RowPairFn Kernel::*tail>
constexpr RowPairFn kAvx2Steps = rowPairInSteps<32, 1, __m256i, chromaOffsets, rowQuads, pixelBytes, store, tail>;

template <int pixelBytes, auto store, RowPairFn Kernel::*tail>
constexpr RowPairFn kAvx2HalvingSteps =
    rowPairInSteps<32, 2, __m256i, halvingChromaOffsets, halvingRowQuads, pixelBytes, store, tail>;

const Kernel kAvx2{"avx2", kAvx2Steps<4, storeBgra, &Kernel::rowPairToBgra>,
                   kAvx2Steps<3, storeBgr24, &Kernel::rowPairToBgr24>,
                   kAvx2HalvingSteps<4, storeBgra, &Kernel::halvingRowPairToBgra>,
                   kAvx2HalvingSteps<3, storeBgr24, &Kernel::halvingRowPairToBgr24>};

}  // namespace

const Kernel& avx2Kernel() { return kAvx2; }

}  // namespace marlin::colour
