#include <emmintrin.h>

#include "startcode/start_code_search.h"
#include "startcode/x86/start_code_search_vector.inl"

namespace marlin::startcode {

namespace {

struct Sse2Ops {
  static constexpr std::size_t kWidth = 16;

  // Whether "00 01" lies anywhere in p[1 .. 2 * kWidth + 2].
  static bool mayStartTwo(const std::uint8_t* p) {
    const __m128i one = _mm_set1_epi8(1);
    const __m128i zero = _mm_setzero_si128();
    const auto zeroOne = [&](const std::uint8_t* q) {
      return _mm_and_si128(_mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(q + 2)), one),
                           _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(q + 1)), zero));
    };
    return _mm_movemask_epi8(_mm_or_si128(zeroOne(p), zeroOne(p + kWidth))) != 0;
  }

  template <Codes kCodes>
  static unsigned matchMask(const std::uint8_t* p) {
    const __m128i one = _mm_set1_epi8(1);
    const __m128i zero = _mm_setzero_si128();
    const __m128i second = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1));
    const __m128i third = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 2));
    const __m128i isOne = _mm_and_si128(_mm_cmpeq_epi8(third, one), _mm_cmpeq_epi8(second, zero));
    if (_mm_movemask_epi8(isOne) == 0) {
      return 0;
    }
    const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i zeros = _mm_and_si128(_mm_cmpeq_epi8(first, zero), _mm_cmpeq_epi8(second, zero));
    if constexpr (kCodes == Codes::Any) {
      return static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(zeros, isOne)));
    }
    const __m128i id = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 3));
    const __m128i idAtLeastF8 = _mm_cmpeq_epi8(_mm_max_epu8(id, _mm_set1_epi8(static_cast<char>(0xF8))), id);
    const __m128i idAtMostFD = _mm_cmpeq_epi8(_mm_min_epu8(id, _mm_set1_epi8(static_cast<char>(0xFD))), id);
    const __m128i match = _mm_and_si128(_mm_and_si128(zeros, isOne), _mm_and_si128(idAtLeastF8, idAtMostFD));
    return static_cast<unsigned>(_mm_movemask_epi8(match));
  }
};

const Kernels kSse2{"sse2", findFirstVector<Sse2Ops>, findLastVector<Sse2Ops>, findAllAnyVector<Sse2Ops>};

}  // namespace

const Kernels& sse2Kernels() { return kSse2; }

}  // namespace marlin::startcode
