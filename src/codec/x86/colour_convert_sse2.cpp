#include <emmintrin.h>

#include <cstring>

#include "codec/colour_convert.h"
#include "codec/x86/colour_row_pair_steps.h"

namespace marlin::colour {

namespace {

// The R, G, B offsets of 8 chroma samples, in 16 bits. (c x k) >> 10 is the
// high half of (c x 64) x k, exactly; green sums two products before its
// shift, so it takes a multiply-add in 32 bits.
// Each offset serves two neighbouring pixels, so each comes twice: [0] for
// the pixels of the step's first luma unpack, [1] for its second.
struct ChromaOffsets {
  __m128i red[2], green[2], blue[2];
};

[[gnu::always_inline]] inline ChromaOffsets twice(__m128i red, __m128i green, __m128i blue) {
  return {{_mm_unpacklo_epi16(red, red), _mm_unpackhi_epi16(red, red)},
          {_mm_unpacklo_epi16(green, green), _mm_unpackhi_epi16(green, green)},
          {_mm_unpacklo_epi16(blue, blue), _mm_unpackhi_epi16(blue, blue)}};
}

// The offsets of 8 chroma samples, each once.
struct Offsets {
  __m128i red, green, blue;
};

[[gnu::always_inline]] inline Offsets offsetsOf(const std::uint8_t* cb, const std::uint8_t* cr) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i bias = _mm_set1_epi16(128);
  const __m128i cb16 =
      _mm_sub_epi16(_mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(cb)), zero), bias);
  const __m128i cr16 =
      _mm_sub_epi16(_mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(cr)), zero), bias);
  const __m128i greenFactors = _mm_set_epi16(-731, -352, -731, -352, -731, -352, -731, -352);
  const __m128i greenLow = _mm_srai_epi32(_mm_madd_epi16(_mm_unpacklo_epi16(cb16, cr16), greenFactors), 10);
  const __m128i greenHigh = _mm_srai_epi32(_mm_madd_epi16(_mm_unpackhi_epi16(cb16, cr16), greenFactors), 10);
  return {_mm_mulhi_epi16(_mm_slli_epi16(cr16, 6), _mm_set1_epi16(1436)), _mm_packs_epi32(greenLow, greenHigh),
          _mm_mulhi_epi16(_mm_slli_epi16(cb16, 6), _mm_set1_epi16(1815))};
}

[[gnu::always_inline]] inline ChromaOffsets chromaOffsets(const std::uint8_t* cb, const std::uint8_t* cr) {
  const Offsets o = offsetsOf(cb, cr);
  return twice(o.red, o.green, o.blue);
}

// Halving: 16 chroma samples, one per pixel.
[[gnu::always_inline]] inline ChromaOffsets halvingChromaOffsets(const std::uint8_t* cb, const std::uint8_t* cr) {
  const Offsets low = offsetsOf(cb, cr);
  const Offsets high = offsetsOf(cb + 8, cr + 8);
  return {{low.red, high.red}, {low.green, high.green}, {low.blue, high.blue}};
}

// Luma plus offset, clamped to 1..255, in 16 bits.
[[gnu::always_inline]] inline __m128i component(__m128i luma, __m128i offset) {
  return _mm_min_epi16(_mm_max_epi16(_mm_add_epi16(luma, offset), _mm_set1_epi16(1)), _mm_set1_epi16(255));
}

// 8 pixels of one row as two vectors of B, G, R, 0: B | G << 8 beside R,
// whose high byte is already 0.
[[gnu::always_inline]] inline void quads(__m128i luma, __m128i red, __m128i green, __m128i blue, __m128i& low,
                                         __m128i& high) {
  const __m128i blueGreen = _mm_or_si128(component(luma, blue), _mm_slli_epi16(component(luma, green), 8));
  const __m128i redZero = component(luma, red);
  low = _mm_unpacklo_epi16(blueGreen, redZero);
  high = _mm_unpackhi_epi16(blueGreen, redZero);
}

// 16 pixels of one row, given as luma bytes, as four vectors of B, G, R, 0
// quads.
[[gnu::always_inline]] inline void quadsOfRow(__m128i luma, const ChromaOffsets& o, __m128i out[4]) {
  const __m128i zero = _mm_setzero_si128();
  quads(_mm_unpacklo_epi8(luma, zero), o.red[0], o.green[0], o.blue[0], out[0], out[1]);
  quads(_mm_unpackhi_epi8(luma, zero), o.red[1], o.green[1], o.blue[1], out[2], out[3]);
}

[[gnu::always_inline]] inline void rowQuads(const std::uint8_t* y, const ChromaOffsets& o, __m128i out[4]) {
  quadsOfRow(_mm_loadu_si128(reinterpret_cast<const __m128i*>(y)), o, out);
}

// The even samples of 32 luma bytes.
[[gnu::always_inline]] inline void halvingRowQuads(const std::uint8_t* y, const ChromaOffsets& o, __m128i out[4]) {
  const __m128i evenBytes = _mm_set1_epi16(0x00FF);
  const __m128i first = _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(y)), evenBytes);
  const __m128i second = _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(y + 16)), evenBytes);
  quadsOfRow(_mm_packus_epi16(first, second), o, out);
}

[[gnu::always_inline]] inline void storeBgra(std::uint8_t* out, const __m128i q[4]) {
  for (int i = 0; i < 4; ++i) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16 * i), q[i]);
  }
}

// The high 8 bytes of v to any address (GCC makes it one movhps).
[[gnu::always_inline]] inline void storeHigh(std::uint8_t* out, __m128i v) {
  const double high = _mm_cvtsd_f64(_mm_unpackhi_pd(_mm_castsi128_pd(v), _mm_castsi128_pd(v)));
  std::memcpy(out, &high, 8);
}

// B, G, R, 0 quads squeezed to B, G, R triples: in each 64-bit half the
// second pixel moves down one byte next to the first, and each half goes out
// by an 8-byte store of which the next store overlaps the last 2. The last
// quad's halves close up first, so that it writes exactly its 12 bytes.
[[gnu::always_inline]] inline void storeBgr24(std::uint8_t* out, const __m128i q[4]) {
  const __m128i firstPixel = _mm_set1_epi64x(0x0000000000FFFFFF);
  const __m128i secondPixel = _mm_set1_epi64x(0x0000FFFFFF000000);
  __m128i pairs[4];
  for (int i = 0; i < 4; ++i) {
    pairs[i] = _mm_or_si128(_mm_and_si128(q[i], firstPixel), _mm_and_si128(_mm_srli_epi64(q[i], 8), secondPixel));
  }
  for (int i = 0; i < 3; ++i) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 12 * i), pairs[i]);
    storeHigh(out + 12 * i + 6, pairs[i]);
  }
  const __m128i lowSixBytes = _mm_set_epi64x(0, 0x0000FFFFFFFFFFFF);
  const __m128i last =
      _mm_or_si128(_mm_and_si128(pairs[3], lowSixBytes), _mm_slli_si128(_mm_srli_si128(pairs[3], 8), 6));
  _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 36), last);
  const int lastFour = _mm_cvtsi128_si32(_mm_srli_si128(last, 8));
  std::memcpy(out + 44, &lastFour, 4);
}

template <int pixelBytes, auto store, RowPairFn Kernel::*tail>
constexpr RowPairFn kSse2Steps = rowPairInSteps<16, 1, __m128i, chromaOffsets, rowQuads, pixelBytes, store, tail>;

template <int pixelBytes, auto store, RowPairFn Kernel::*tail>
constexpr RowPairFn kSse2HalvingSteps =
    rowPairInSteps<16, 2, __m128i, halvingChromaOffsets, halvingRowQuads, pixelBytes, store, tail>;

const Kernel kSse2{"sse2", kSse2Steps<4, storeBgra, &Kernel::rowPairToBgra>,
                   kSse2Steps<3, storeBgr24, &Kernel::rowPairToBgr24>,
                   kSse2HalvingSteps<4, storeBgra, &Kernel::halvingRowPairToBgra>,
                   kSse2HalvingSteps<3, storeBgr24, &Kernel::halvingRowPairToBgr24>};

}  // namespace

const Kernel& sse2Kernel() { return kSse2; }

}  // namespace marlin::colour
