#include "codec/bit_reader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace marlin::codec {
namespace {

// Bit i of bytes, most significant first; zero past the end.
std::uint32_t bitAt(const std::vector<std::uint8_t>& bytes, std::size_t i) {
  return i / 8 < bytes.size() ? (bytes[i / 8] >> (7 - i % 8)) & 1u : 0u;
}

std::uint32_t expectedBits(const std::vector<std::uint8_t>& bytes, std::size_t at, unsigned n) {
  std::uint32_t value = 0;
  for (unsigned i = 0; i < n; ++i) {
    value = value << 1 | bitAt(bytes, at + i);
  }
  return value;
}

TEST(BitReader, ReadsOfEveryWidthFollowTheBitsAcrossRefillsAndTheEnd) {
  std::mt19937 random(5);
  std::uniform_int_distribution<int> byte(0, 255);
  std::uniform_int_distribution<int> width(1, 32);
  for (const std::size_t size : {0u, 1u, 7u, 8u, 9u, 23u, 100u}) {
    std::vector<std::uint8_t> bytes(size);
    for (auto& b : bytes) {
      b = static_cast<std::uint8_t>(byte(random));
    }
    for (const std::size_t start : {0u, 3u}) {
      BitReader reader(bytes.data(), bytes.size(), start);
      std::size_t at = start * 8;
      while (at < bytes.size() * 8 + 40) {
        const auto n = static_cast<unsigned>(width(random));
        ASSERT_EQ(reader.read(n), expectedBits(bytes, at, n)) << "size " << size << " bit " << at << " width " << n;
        at += n;
        ASSERT_EQ(reader.overran(), at > bytes.size() * 8) << "size " << size << " bit " << at;
      }
    }
  }
}

TEST(BitReader, EnsuredBitsCanBePeekedSkippedAndTakenWithoutRefill) {
  const std::vector<std::uint8_t> bytes = {0xDE, 0xAD, 0xBE, 0xEF, 0x01, 0x23, 0x45, 0x67, 0x89, 0xAB};
  BitReader reader(bytes.data(), bytes.size(), 0);
  reader.read(3);  // the window no longer starts on a byte
  reader.ensure(56);
  EXPECT_EQ(reader.peek(16), expectedBits(bytes, 3, 16));
  EXPECT_EQ(reader.peek(16), expectedBits(bytes, 3, 16));
  reader.skip(13);
  EXPECT_EQ(reader.take(1), bitAt(bytes, 16));
  EXPECT_EQ(reader.take(32), expectedBits(bytes, 17, 32));
  EXPECT_EQ(reader.take(10), expectedBits(bytes, 49, 10));
  EXPECT_FALSE(reader.overran());
  EXPECT_EQ(reader.read(21), expectedBits(bytes, 59, 21));
  EXPECT_FALSE(reader.overran());
  EXPECT_EQ(reader.read(1), 0u);
  EXPECT_TRUE(reader.overran());
}

}  // namespace
}  // namespace marlin::codec
