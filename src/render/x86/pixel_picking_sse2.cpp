#include <emmintrin.h>

#include <cstring>

#include "render/pixel_picking.h"

namespace marlin::picking {

namespace {

// Eight source pixels give four: the even ones of each load, side by side.
void everyOtherPixel32Sse2(std::uint8_t* out, const std::uint8_t* in, int count) {
  int i = 0;
  for (; i + 4 <= count; i += 4) {
    const __m128 first = _mm_loadu_ps(reinterpret_cast<const float*>(in + 8 * i));
    const __m128 second = _mm_loadu_ps(reinterpret_cast<const float*>(in + 8 * i + 16));
    _mm_storeu_ps(reinterpret_cast<float*>(out + 4 * i), _mm_shuffle_ps(first, second, _MM_SHUFFLE(2, 0, 2, 0)));
  }
  for (; i < count; ++i) {
    std::memcpy(out + 4 * i, in + 8 * i, 4);
  }
}

const Kernel kSse2{"sse2", everyOtherPixel32Sse2};

}  // namespace

const Kernel& sse2Kernel() { return kSse2; }

}  // namespace marlin::picking
