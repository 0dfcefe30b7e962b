#include <immintrin.h>

#include "startcode/start_code_search.h"
#include "startcode/x86/start_code_search_vector.inl"

namespace marlin::startcode {

namespace {

struct Avx2Ops {
  static constexpr std::size_t kWidth = 32;

  // Whether "00 01" lies anywhere in p[1 .. 2 * kWidth + 2].
  static bool mayStartTwo(const std::uint8_t* p) {
    const __m256i one = _mm256_set1_epi8(1);
    const __m256i zero = _mm256_setzero_si256();
    const auto zeroOne = [&](const std::uint8_t* q) {
      return _mm256_and_si256(_mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(q + 2)), one),
                              _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(q + 1)), zero));
    };
    const __m256i either = _mm256_or_si256(zeroOne(p), zeroOne(p + kWidth));
    return _mm256_testz_si256(either, either) == 0;
  }

  template <Codes kCodes>
  static unsigned matchMask(const std::uint8_t* p) {
    const __m256i one = _mm256_set1_epi8(1);
    const __m256i zero = _mm256_setzero_si256();
    const __m256i second = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 1));
    const __m256i third = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 2));
    // "00 01" is rare enough in any data that this test almost never passes,
    // so the branch stays predictable; "01" alone is in one vector in eight.
    const __m256i isOne = _mm256_and_si256(_mm256_cmpeq_epi8(third, one), _mm256_cmpeq_epi8(second, zero));
    if (_mm256_movemask_epi8(isOne) == 0) {
      return 0;
    }
    const __m256i first = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    const __m256i zeros = _mm256_and_si256(_mm256_cmpeq_epi8(first, zero), _mm256_cmpeq_epi8(second, zero));
    if constexpr (kCodes == Codes::Any) {
      return static_cast<unsigned>(_mm256_movemask_epi8(_mm256_and_si256(zeros, isOne)));
    }
    const __m256i id = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 3));
    const __m256i idAtLeastF8 = _mm256_cmpeq_epi8(_mm256_max_epu8(id, _mm256_set1_epi8(static_cast<char>(0xF8))), id);
    const __m256i idAtMostFD = _mm256_cmpeq_epi8(_mm256_min_epu8(id, _mm256_set1_epi8(static_cast<char>(0xFD))), id);
    const __m256i match = _mm256_and_si256(_mm256_and_si256(zeros, isOne), _mm256_and_si256(idAtLeastF8, idAtMostFD));
    return static_cast<unsigned>(_mm256_movemask_epi8(match));
  }
};

const Kernels kAvx2{"avx2", findFirstVector<Avx2Ops>, findLastVector<Avx2Ops>, findAllAnyVector<Avx2Ops>};

}  // namespace

const Kernels& avx2Kernels() { return kAvx2; }

}  // namespace marlin::startcode
