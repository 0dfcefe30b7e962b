#include "platform/memory_file.h"

#include <gtest/gtest.h>

#include "platform/block_file.h"

namespace marlin {
namespace {

std::vector<std::uint8_t> readBack(const std::string& path) {
  BlockFile file;
  EXPECT_TRUE(file.open(path));
  std::uint64_t size = 0;
  EXPECT_TRUE(file.querySize(size));
  std::vector<std::uint8_t> bytes(size);
  std::size_t got = 0;
  EXPECT_TRUE(file.readAt(0, bytes.data(), bytes.size(), got));
  bytes.resize(got);
  return bytes;
}

TEST(MemoryFile, ReadsBackByNameWhatItHoldsLast) {
  MemoryFile memory;
  const std::vector<std::uint8_t> first(10000, 0xAB);
  ASSERT_TRUE(memory.hold(first));
  EXPECT_EQ(readBack(memory.path()), first);

  // A shorter second content leaves nothing of the first behind.
  const std::vector<std::uint8_t> second = {1, 2, 3};
  ASSERT_TRUE(memory.hold(second));
  EXPECT_EQ(readBack(memory.path()), second);
}

}  // namespace
}  // namespace marlin
