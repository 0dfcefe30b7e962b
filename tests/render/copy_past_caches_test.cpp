#include "render/copy_past_caches.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace marlin {
namespace {

// The streamed middle, the ordinary head before the first aligned
// destination and the tail after the last whole group must join up at
// every alignment and length, without touching a byte either side.
TEST(CopyPastCaches, CopiesEveryLengthAtEveryAlignmentAndNothingAround) {
  constexpr std::size_t kGuard = 32;
  std::vector<std::uint8_t> source(4096 + 64);
  for (std::size_t i = 0; i < source.size(); ++i) {
    source[i] = static_cast<std::uint8_t>(i * 7 + 3);
  }
  for (std::size_t length = 0; length <= 4096; length += length < 300 ? 1 : 1899) {
    for (std::size_t alignment = 0; alignment < 16; ++alignment) {
      std::vector<std::uint8_t> buffer(length + 2 * kGuard + 16, 0xEE);
      std::uint8_t* destination = buffer.data() + kGuard + alignment;
      copyPastCaches(destination, source.data() + alignment * 3, length);
      ASSERT_TRUE(std::equal(destination, destination + length, source.data() + alignment * 3))
          << "length " << length << " alignment " << alignment;
      for (std::uint8_t* p = buffer.data(); p < destination; ++p) {
        ASSERT_EQ(*p, 0xEE);
      }
      for (std::uint8_t* p = destination + length; p < buffer.data() + buffer.size(); ++p) {
        ASSERT_EQ(*p, 0xEE);
      }
    }
  }
}

}  // namespace
}  // namespace marlin
