#include "source/time_search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "source/block_header.h"
#include "support/synthetic_recording.h"
#include "support/temp_dir.h"
#include "support/time_order_model.h"

namespace marlin::testing {
namespace {

using container::kBlockSize;
using synth::Bytes;

constexpr std::uint32_t kStart = 1262304000;  // 2010-01-01 00:00:00 UTC

// Blocks of zero payload, block n stamped times[n].
Bytes blocksStamped(const std::vector<std::uint32_t>& times, bool bigEndian = false) {
  synth::RecordingBuilder builder(bigEndian);
  for (const std::uint32_t time : times) {
    builder.setTime(time);
    builder.append(Bytes(container::kPayloadSize));
  }
  return builder.finish();
}

// A rising run of count blocks from first, a few blocks to each second as a recorder writes them.
std::vector<std::uint32_t> risingTimes(std::uint32_t first, std::size_t count) {
  std::vector<std::uint32_t> times;
  for (std::size_t n = 0; n < count; ++n) {
    times.push_back(first + static_cast<std::uint32_t>(n / 3 * 2 + n % 3 / 2));
  }
  return times;
}

TimeOrderModel expectationOf(const std::vector<std::uint32_t>& times, std::size_t drop = 0) {
  return {std::vector<std::optional<std::uint32_t>>(times.begin(), times.end()), drop};
}

class TimeSearch : public ::testing::Test {
 protected:
  // Writes the recording and looks up every time from a second before its oldest block to one after its newest.
  void expectEveryTimeFound(const Bytes& recording, BlockLayout layout, const TimeOrderModel& expected,
                            std::uint32_t from, std::uint32_t to) {
    const std::string path = dir_.file("recording" + std::to_string(files_++) + ".QKV");
    writeFile(path, recording);
    BlockFile file;
    ASSERT_TRUE(file.open(path));
    for (std::uint32_t time = from - 1; time <= to + 1; ++time) {
      TimeSearchResult found;
      ASSERT_TRUE(findBlockAtTime(file, layout, time, found));
      const TimeSearchResult wanted = expected.lookUp(time);
      EXPECT_EQ(found.match, wanted.match) << "time " << time - from;
      EXPECT_EQ(found.position, wanted.position) << "time " << time - from;
      EXPECT_EQ(found.blockTime, wanted.blockTime) << "time " << time - from;
    }
  }

  TempDir dir_;
  int files_ = 0;
};

TEST_F(TimeSearch, FindsTheFirstBlockAtOrAfterATimeInEveryByteOrder) {
  const std::vector<std::uint32_t> times = {kStart,      kStart,      kStart + 5, kStart + 10,
                                            kStart + 10, kStart + 10, kStart + 20};
  const TimeOrderModel expected = expectationOf(times);
  expectEveryTimeFound(blocksStamped(times), {}, expected, kStart, kStart + 20);
  expectEveryTimeFound(blocksStamped(times, true), {false, true}, expected, kStart, kStart + 20);
  Bytes disk = blocksStamped(times);
  synth::toDiskByteOrder(disk);
  expectEveryTimeFound(disk, {true, false}, expected, kStart, kStart + 20);

  const std::vector<std::uint32_t> longer = risingTimes(kStart, 1000);
  expectEveryTimeFound(blocksStamped(longer), {}, expectationOf(longer), kStart, longer.back());
}

TEST_F(TimeSearch, ResultsOutsideTheRecordingAndWithoutValidBlocks) {
  const std::vector<std::uint32_t> times = risingTimes(kStart, 40);
  Bytes recording = blocksStamped(times);
  recording.resize(recording.size() + kBlockSize / 2);  // a piece after the last whole block is no block
  const std::string path = dir_.file("outside.QKV");
  writeFile(path, recording);
  BlockFile file;
  ASSERT_TRUE(file.open(path));
  TimeSearchResult found;
  ASSERT_TRUE(findBlockAtTime(file, {}, kStart - 3600, found));
  EXPECT_EQ(found.match, TimeMatch::BeforeOldest);
  EXPECT_EQ(found.position, 0u);
  ASSERT_TRUE(findBlockAtTime(file, {}, times.back() + 1, found));
  EXPECT_EQ(found.match, TimeMatch::AfterNewest);
  EXPECT_EQ(found.position, 40 * kBlockSize);
  EXPECT_EQ(found.blockTime, times.back());

  for (std::size_t n = 0; n < times.size(); ++n) {
    synth::corruptBlock(recording, n);
  }
  writeFile(path, recording);
  ASSERT_TRUE(findBlockAtTime(file, {}, kStart, found));
  EXPECT_EQ(found.match, TimeMatch::NoValidBlock);
  EXPECT_EQ(found.blockReads, 40u);
}

// Stretches of bad check bytes at both ends and in the middle, stale blocks whose check bytes are good but whose
// time is from another recording, and a never-written end.
TEST_F(TimeSearch, PassesOverInvalidBlocks) {
  const std::vector<std::uint32_t> times = risingTimes(kStart, 1000);
  TimeOrderModel expected = expectationOf(times);
  Bytes recording = blocksStamped(times);
  const auto spoil = [&](std::size_t from, std::size_t to) {
    for (std::size_t n = from; n < to; ++n) {
      synth::corruptBlock(recording, n);
      expected.times[n].reset();
    }
  };
  spoil(0, 9);
  spoil(400, 460);
  spoil(975, 1000);
  const BlockHeaderBytes stale = encodeBlockHeader(kStart - 86400 * 365, 1, 0, false);
  for (std::size_t n = 470; n < 510; ++n) {
    std::copy(stale.begin(), stale.end(), recording.begin() + static_cast<std::ptrdiff_t>(n * kBlockSize));
    expected.times[n].reset();
  }
  expectEveryTimeFound(recording, {}, expected, kStart, times.back());

  recording.resize(recording.size() + 3000 * kBlockSize);
  expected.times.resize(expected.times.size() + 3000);
  synth::toDiskByteOrder(recording);
  expectEveryTimeFound(recording, {true, false}, expected, kStart, times.back());
}

// A disk written around: the newer run from block 0 to the drop, then the older run to the end, with damage where
// the runs meet.
TEST_F(TimeSearch, SearchesTheRunOfAWrappedDiskThatHoldsTheTime) {
  const std::vector<std::uint32_t> older = risingTimes(kStart, 400);
  const std::vector<std::uint32_t> newer = risingTimes(older.back() + 30, 600);
  std::vector<std::uint32_t> times = newer;
  times.insert(times.end(), older.begin(), older.end());
  TimeOrderModel expected = expectationOf(times, newer.size());
  Bytes disk = blocksStamped(times);
  for (std::size_t n = 596; n < 603; ++n) {
    synth::corruptBlock(disk, n);
    expected.times[n].reset();
  }
  synth::toDiskByteOrder(disk);
  expectEveryTimeFound(disk, {true, false}, expected, kStart, newer.back());
}

// Generated block times: a 1 GiB recording costs no disk space and no file writing.
// Blocks from written on were never written.
class GeneratedBlockTimes : public BlockTimes {
 public:
  GeneratedBlockTimes(std::uint64_t count, std::uint64_t drop, std::uint64_t written = UINT64_MAX)
      : count_(count), drop_(drop), written_(written) {}

  std::uint64_t blockCount() const override { return count_; }
  std::optional<std::uint32_t> timeOf(std::uint64_t index) override {
    ++reads_;
    if (index >= written_) {
      return std::nullopt;
    }
    return timeInOrder((index + count_ - drop_) % count_);
  }
  // Recorded at 100 KB per second: 25 blocks to a second.
  static std::uint32_t timeInOrder(std::uint64_t n) { return kStart + static_cast<std::uint32_t>(n / 25); }
  std::uint64_t reads() const { return reads_; }

 private:
  std::uint64_t count_;
  std::uint64_t drop_;
  std::uint64_t written_;
  std::uint64_t reads_ = 0;
};

TEST_F(TimeSearch, LooksUpATimeInAGibibyteWithFewerThanFortyBlockReads) {
  constexpr std::uint64_t kBlocks = (std::uint64_t{1} << 30) / kBlockSize;
  // Both wraps leave the same second at the first and the last block, one with the drop before the middle block,
  // one after it.
  for (const std::uint64_t drop : {std::uint64_t{0}, std::uint64_t{100003}, kBlocks - 100003}) {
    // The ends of the recording, of its seconds and of the wrap's runs, and every 997th block.
    std::vector<std::uint64_t> inTimeOrder = {
        0, 1, 24, 25, (kBlocks - drop) % kBlocks, (kBlocks - drop + 25) % kBlocks, kBlocks - 25, kBlocks - 1};
    for (std::uint64_t n = 500; n < kBlocks; n += 997) {
      inTimeOrder.push_back(n);
    }
    for (const std::uint64_t n : inTimeOrder) {
      GeneratedBlockTimes blocks(kBlocks, drop);
      const std::uint32_t time = GeneratedBlockTimes::timeInOrder(n);
      const TimeSearchResult found = searchBlockTimes(blocks, time);
      const std::uint64_t firstOfSecond = n - n % 25;
      EXPECT_EQ(found.match, TimeMatch::AtOrAfter) << drop << " " << n;
      EXPECT_EQ(found.position, (firstOfSecond + drop) % kBlocks * kBlockSize) << drop << " " << n;
      EXPECT_EQ(found.blockReads, blocks.reads());
      EXPECT_LT(found.blockReads, 40u) << drop << " " << n;
    }
  }
}

// Bisection finds where the written part of a disk ends instead of reading back through the rest.
TEST_F(TimeSearch, FindsTheEndOfAHalfWrittenDiskWithoutReadingItsEmptyHalf) {
  constexpr std::uint64_t kBlocks = (std::uint64_t{1} << 30) / kBlockSize;
  constexpr std::uint64_t kWritten = kBlocks / 2 + 1001;
  GeneratedBlockTimes blocks(kBlocks, 0, kWritten);
  const std::uint32_t newest = GeneratedBlockTimes::timeInOrder(kWritten - 1);
  const TimeSearchResult found = searchBlockTimes(blocks, newest + 1);
  EXPECT_EQ(found.match, TimeMatch::AfterNewest);
  EXPECT_EQ(found.position, kWritten * kBlockSize);
  EXPECT_EQ(found.blockTime, newest);
  EXPECT_LT(found.blockReads, 20 * kUnwrittenReach);
}

}  // namespace
}  // namespace marlin::testing
