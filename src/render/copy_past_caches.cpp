#include "render/copy_past_caches.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace marlin {

void copyPastCaches(std::uint8_t* destination, const std::uint8_t* source, std::size_t bytes) {
#if defined(__SSE2__)
  constexpr std::size_t kVector = 16;
  // Streaming stores need an aligned destination; the bytes before the
  // first boundary go the ordinary way.
  const std::size_t head =
      std::min(bytes, (kVector - reinterpret_cast<std::uintptr_t>(destination) % kVector) % kVector);
  std::memcpy(destination, source, head);
  std::size_t done = head;
  for (; done + 4 * kVector <= bytes; done += 4 * kVector) {
    const auto* in = reinterpret_cast<const __m128i*>(source + done);
    auto* out = reinterpret_cast<__m128i*>(destination + done);
    const __m128i a = _mm_loadu_si128(in);
    const __m128i b = _mm_loadu_si128(in + 1);
    const __m128i c = _mm_loadu_si128(in + 2);
    const __m128i d = _mm_loadu_si128(in + 3);
    _mm_stream_si128(out, a);
    _mm_stream_si128(out + 1, b);
    _mm_stream_si128(out + 2, c);
    _mm_stream_si128(out + 3, d);
  }
  // Later reads of these bytes, on any thread, see the streamed stores.
  _mm_sfence();
  std::memcpy(destination + done, source + done, bytes - done);
#else
  std::memcpy(destination, source, bytes);
#endif
}

}  // namespace marlin
