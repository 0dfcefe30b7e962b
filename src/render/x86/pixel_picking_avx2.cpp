#include <immintrin.h>

#include <cstring>

#include "render/pixel_picking.h"

namespace marlin::picking {

namespace {

// Sixteen source pixels give eight; the shuffle works within each 128-bit
// half, so a cross-half permute puts the four pairs back in order.
void everyOtherPixel32Avx2(std::uint8_t* out, const std::uint8_t* in, int count) {
  int i = 0;
  for (; i + 8 <= count; i += 8) {
    const __m256 first = _mm256_loadu_ps(reinterpret_cast<const float*>(in + 8 * i));
    const __m256 second = _mm256_loadu_ps(reinterpret_cast<const float*>(in + 8 * i + 32));
    const __m256 evens = _mm256_shuffle_ps(first, second, _MM_SHUFFLE(2, 0, 2, 0));
    const __m256i ordered = _mm256_permute4x64_epi64(_mm256_castps_si256(evens), _MM_SHUFFLE(3, 1, 2, 0));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 4 * i), ordered);
  }
  for (; i < count; ++i) {
    std::memcpy(out + 4 * i, in + 8 * i, 4);
  }
}

const Kernel kAvx2{"avx2", everyOtherPixel32Avx2};

}  // namespace

const Kernel& avx2Kernel() { return kAvx2; }

}  // namespace marlin::picking
