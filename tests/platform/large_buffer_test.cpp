#include "platform/large_buffer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <utility>

#include "platform/block_file.h"
#include "platform/memory_file.h"

namespace marlin {
namespace {

// A read of several huge pages and an odd tail lands whole, the buffer
// starting zeroed; it moves without copying and shrinks to what was read.
TEST(LargeBuffer, TakesAWholeReadAndMovesAndShrinks) {
  std::vector<std::uint8_t> pattern((5u << 20) + 123);
  std::iota(pattern.begin(), pattern.end(), std::uint8_t{7});
  MemoryFile memory;
  ASSERT_TRUE(memory.hold(pattern));

  LargeBuffer buffer(pattern.size() + 4096);
  ASSERT_EQ(buffer.size(), pattern.size() + 4096);
  EXPECT_TRUE(std::all_of(buffer.bytes().begin(), buffer.bytes().end(), [](std::uint8_t b) { return b == 0; }));
  BlockFile file;
  ASSERT_TRUE(file.open(memory.path()));
  std::size_t got = 0;
  ASSERT_TRUE(file.readAt(0, buffer.data(), buffer.size(), got));
  ASSERT_EQ(got, pattern.size());
  buffer.shrink(got);

  const std::uint8_t* const where = buffer.data();
  LargeBuffer moved = std::move(buffer);
  EXPECT_TRUE(buffer.empty());
  EXPECT_EQ(moved.data(), where);
  EXPECT_TRUE(std::equal(pattern.begin(), pattern.end(), moved.bytes().begin(), moved.bytes().end()));

  moved.shrink(moved.size() + 1);  // never grows
  EXPECT_EQ(moved.size(), pattern.size());
  EXPECT_TRUE(LargeBuffer(0).empty());
}

}  // namespace
}  // namespace marlin
