#include "startcode/start_code_search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace marlin::startcode {
namespace {

// Buffers dense with near-misses (00 00 01 xx with every id, runs of zeros)
// so that every lane and tail position of the vector versions is exercised.
std::vector<std::uint8_t> denseBuffer(std::mt19937& random, std::size_t size) {
  std::vector<std::uint8_t> bytes(size);
  std::uniform_int_distribution<int> pick(0, 9);
  std::uniform_int_distribution<int> any(0, 255);
  for (auto& b : bytes) {
    const int kind = pick(random);
    b = static_cast<std::uint8_t>(kind < 4 ? 0 : kind < 6 ? 1 : kind < 8 ? 0xF7 + pick(random) : any(random));
  }
  return bytes;
}

// Random bytes with a start code or two, as in a recording: the vector
// versions skip long stretches with one test.
std::vector<std::uint8_t> sparseBuffer(std::mt19937& random, std::size_t size) {
  std::vector<std::uint8_t> bytes(size);
  std::uniform_int_distribution<int> any(1, 255);
  for (auto& b : bytes) {
    b = static_cast<std::uint8_t>(any(random));
  }
  for (auto planted = random() % 3; planted > 0 && size >= 4; --planted) {
    const std::size_t at = random() % (size - 3);
    const std::uint8_t code[4] = {0, 0, 1, static_cast<std::uint8_t>(0xF8 + random() % 6)};
    std::copy(code, code + 4, bytes.begin() + static_cast<std::ptrdiff_t>(at));
  }
  return bytes;
}

TEST(StartCodeSearch, EveryVersionAgreesWithThePortableOne) {
  std::mt19937 random(7);
  const Kernels& portable = portableKernels();
  ASSERT_GE(supportedKernels().size(), 1u);
  for (int round = 0; round < 300; ++round) {
    const std::size_t size = 1 + random() % 200;
    const auto bytes = round % 2 == 0 ? denseBuffer(random, size) : sparseBuffer(random, size);
    for (const Kernels* kernels : supportedKernels()) {
      for (std::size_t begin = 0; begin <= bytes.size(); begin += 1 + random() % 7) {
        for (std::size_t end = begin; end <= bytes.size(); end += 1 + random() % 5) {
          ASSERT_EQ(kernels->findFirst(bytes.data(), begin, end), portable.findFirst(bytes.data(), begin, end))
              << kernels->name << " first [" << begin << "," << end << ")";
          ASSERT_EQ(kernels->findLast(bytes.data(), begin, end), portable.findLast(bytes.data(), begin, end))
              << kernels->name << " last [" << begin << "," << end << ")";
          const std::size_t capacity = random() % 4 == 0 ? 1 + random() % 3 : 64;
          std::vector<std::uint32_t> all(capacity);
          std::vector<std::uint32_t> expected(capacity);
          all.resize(kernels->findAllAny(bytes.data(), begin, end, all.data(), capacity));
          expected.resize(portable.findAllAny(bytes.data(), begin, end, expected.data(), capacity));
          ASSERT_EQ(all, expected) << kernels->name << " all of any [" << begin << "," << end << ") up to " << capacity;
        }
      }
    }
  }
}

TEST(StartCodeSearch, FindsFrameIdsOrAnyWhollyInsideTheRange) {
  // 00 00 01 F7, 00 00 01 F8 at 4, 00 00 01 FE, 00 00 01 FD at 12
  const std::vector<std::uint8_t> bytes = {0, 0, 1, 0xF7, 0, 0, 1, 0xF8, 0, 0, 1, 0xFE, 0, 0, 1, 0xFD};
  for (const Kernels* kernels : supportedKernels()) {
    EXPECT_EQ(kernels->findFirst(bytes.data(), 0, bytes.size()), 4u) << kernels->name;
    EXPECT_EQ(kernels->findLast(bytes.data(), 0, bytes.size()), 12u) << kernels->name;
    EXPECT_EQ(kernels->findFirst(bytes.data(), 5, 15), kNotFound) << kernels->name;
    EXPECT_EQ(kernels->findLast(bytes.data(), 0, 7), kNotFound) << kernels->name;
    EXPECT_EQ(kernels->findLast(bytes.data(), 0, 8), 4u) << kernels->name;
    std::vector<std::uint32_t> starts(8);
    starts.resize(kernels->findAllAny(bytes.data(), 1, 15, starts.data(), starts.size()));
    EXPECT_EQ(starts, (std::vector<std::uint32_t>{4, 8})) << kernels->name;
    EXPECT_EQ(kernels->findAllAny(bytes.data(), 0, bytes.size(), starts.data(), 1), 1u) << kernels->name;
    EXPECT_EQ(starts[0], 0u) << kernels->name;
  }
}

}  // namespace
}  // namespace marlin::startcode
