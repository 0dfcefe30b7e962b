#include "source/block_span.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <limits>

#include "source/container.h"
#include "support/temp_dir.h"

namespace marlin::testing {
namespace {

using container::kBlockSize;
constexpr std::uint64_t kNoEnd = std::numeric_limits<std::uint64_t>::max();

// Block b holds the byte b + 1 throughout, so a block found can be told by its bytes.
std::vector<std::uint8_t> numberedBlocks(std::size_t blocks, std::size_t extra = 0) {
  std::vector<std::uint8_t> bytes(blocks * kBlockSize + extra);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    bytes[i] = static_cast<std::uint8_t>(i / kBlockSize + 1);
  }
  return bytes;
}

class BlockSpanTest : public ::testing::Test {
 protected:
  void SetUp() override { path_ = dir_.file("blocks.QKV"); }

  void write(const std::vector<std::uint8_t>& bytes) {
    writeFile(path_, bytes);
    ASSERT_TRUE(file_.open(path_));
  }

  // The blocks the span holds, by number.
  std::vector<std::uint64_t> held(const BlockSpan& span, std::uint64_t upTo) const {
    std::vector<std::uint64_t> blocks;
    for (std::uint64_t b = 0; b < upTo; ++b) {
      if (const std::uint8_t* bytes = span.find(b * kBlockSize)) {
        EXPECT_EQ(bytes[0], static_cast<std::uint8_t>(b + 1));
        EXPECT_EQ(bytes[kBlockSize - 1], static_cast<std::uint8_t>(b + 1));
        blocks.push_back(b);
      }
    }
    return blocks;
  }

  TempDir dir_;
  std::string path_;
  BlockFile file_;
};

TEST_F(BlockSpanTest, ReadsAheadInTheDirectionOfReading) {
  write(numberedBlocks(10));
  BlockSpan span(4 * kBlockSize + 100);  // rounded down to 4 blocks
  EXPECT_EQ(span.capacity(), 4 * kBlockSize);
  ASSERT_TRUE(span.fill(file_, 3 * kBlockSize, ReadAhead::Forward, kNoEnd, false));
  EXPECT_EQ(held(span, 12), (std::vector<std::uint64_t>{3, 4, 5, 6}));
  ASSERT_TRUE(span.fill(file_, 5 * kBlockSize, ReadAhead::Backward, kNoEnd, false));
  EXPECT_EQ(held(span, 12), (std::vector<std::uint64_t>{2, 3, 4, 5}));
  // Near either end of the file the span is cut short.
  ASSERT_TRUE(span.fill(file_, 1 * kBlockSize, ReadAhead::Backward, kNoEnd, false));
  EXPECT_EQ(held(span, 12), (std::vector<std::uint64_t>{0, 1}));
  ASSERT_TRUE(span.fill(file_, 8 * kBlockSize, ReadAhead::Forward, kNoEnd, false));
  EXPECT_EQ(held(span, 12), (std::vector<std::uint64_t>{8, 9}));
  span.clear();
  EXPECT_EQ(held(span, 12), std::vector<std::uint64_t>{});
}

TEST_F(BlockSpanTest, APartlyWrittenBlockIsReadAgainOnceComplete) {
  write(numberedBlocks(2, 1000));
  BlockSpan span(8 * kBlockSize);
  ASSERT_TRUE(span.fill(file_, 0, ReadAhead::Forward, kNoEnd, false));
  EXPECT_EQ(held(span, 8), (std::vector<std::uint64_t>{0, 1}));
  ASSERT_TRUE(span.fill(file_, 2 * kBlockSize, ReadAhead::Forward, kNoEnd, false));
  EXPECT_EQ(span.find(2 * kBlockSize), nullptr);

  // The writer completes block 2 and adds block 3.
  const std::vector<std::uint8_t> whole = numberedBlocks(4);
  std::ofstream(path_, std::ios::binary | std::ios::app)
      .write(reinterpret_cast<const char*>(whole.data()) + 2 * kBlockSize + 1000, 2 * kBlockSize - 1000);
  EXPECT_EQ(span.find(2 * kBlockSize), nullptr);
  ASSERT_TRUE(span.fill(file_, 2 * kBlockSize, ReadAhead::Forward, kNoEnd, false));
  EXPECT_EQ(held(span, 8), (std::vector<std::uint64_t>{2, 3}));
}

TEST_F(BlockSpanTest, ReadAheadStopsAtTheEndOfTheDataButTheBlockAskedForIsRead) {
  write(numberedBlocks(10));
  BlockSpan span(4 * kBlockSize);
  const std::uint64_t dataEnd = 6 * kBlockSize + 10;
  ASSERT_TRUE(span.fill(file_, 4 * kBlockSize, ReadAhead::Forward, dataEnd, false));
  EXPECT_EQ(held(span, 12), (std::vector<std::uint64_t>{4, 5}));
  ASSERT_TRUE(span.fill(file_, 7 * kBlockSize, ReadAhead::Forward, dataEnd, false));
  EXPECT_EQ(held(span, 12), (std::vector<std::uint64_t>{7}));
}

TEST_F(BlockSpanTest, SwapsTheBytesOfEveryWordOfWholeBlocks) {
  std::vector<std::uint8_t> bytes(3 * kBlockSize);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    bytes[i] = static_cast<std::uint8_t>(i * 7);
  }
  write(bytes);
  BlockSpan span(2 * kBlockSize);
  ASSERT_TRUE(span.fill(file_, 2 * kBlockSize, ReadAhead::Backward, kNoEnd, true));
  for (const std::uint64_t block : {1, 2}) {
    const std::uint8_t* held = span.find(block * kBlockSize);
    ASSERT_NE(held, nullptr);
    for (std::size_t i = 0; i < kBlockSize; ++i) {
      ASSERT_EQ(held[i], bytes[block * kBlockSize + (i ^ 1)]) << "block " << block << " byte " << i;
    }
  }
}

}  // namespace
}  // namespace marlin::testing
