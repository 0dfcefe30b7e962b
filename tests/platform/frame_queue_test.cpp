#include "platform/frame_queue.h"

#include <gtest/gtest.h>

#include <chrono>
#include <numeric>
#include <thread>
#include <vector>

namespace marlin {
namespace {

constexpr std::uint32_t kVideoBytes = 0x20000;

FrameRecord recordOf(std::vector<std::uint8_t>& bytes) {
  FrameRecord record;
  record.data = bytes.data();
  record.capacity = static_cast<std::uint32_t>(bytes.size());
  record.length = static_cast<std::uint32_t>(bytes.size());
  return record;
}

class VideoQueue : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(queue.allocate(kVideoBytes, 16), 1); }

  int pushNumbered(std::uint8_t number, std::size_t length = 100) {
    std::vector<std::uint8_t> bytes(length, number);
    FrameRecord record = recordOf(bytes);
    record.header[0] = number;
    record.kind = 1;
    return queue.push(record);
  }

  FrameQueue queue{"Default"};
  std::vector<std::uint8_t> out = std::vector<std::uint8_t>(kVideoBytes);
  FrameRecord popped{out.data(), 0, kVideoBytes, 0, {}, 0};
};

TEST_F(VideoQueue, AcceptsSixteenFramesRefusesTheSeventeenthAndTakesMoreAfterAPop) {
  EXPECT_TRUE(queue.roomEvent().isSet());
  for (std::uint8_t i = 0; i < 16; ++i) {
    EXPECT_EQ(pushNumbered(i), 1);
  }
  EXPECT_FALSE(queue.roomEvent().isSet());
  EXPECT_EQ(pushNumbered(16), 0);
  ASSERT_EQ(queue.pop(popped), 1);
  EXPECT_EQ(popped.header[0], 0);
  EXPECT_EQ(pushNumbered(17), 1);
  // The refused frame is gone; the rest come out in the order they went in.
  std::vector<int> order;
  while (queue.pop(popped) == 1) {
    EXPECT_EQ(popped.length, 100u);
    EXPECT_EQ(out[99], popped.header[0]);
    order.push_back(popped.header[0]);
  }
  std::vector<int> expected(15);
  std::iota(expected.begin(), expected.end(), 1);
  expected.push_back(17);
  EXPECT_EQ(order, expected);
}

TEST_F(VideoQueue, DataEventFollowsWhetherAFrameWaitsAndPushesAreDated) {
  // The steady clock's milliseconds, as a watchdog of the producer compares them.
  const auto before = static_cast<std::uint32_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
          .count());
  EXPECT_EQ(queue.pop(popped), 0);
  EXPECT_FALSE(queue.dataEvent().isSet());
  ASSERT_EQ(pushNumbered(1), 1);
  EXPECT_TRUE(queue.dataEvent().isSet());
  EXPECT_LE(queue.lastPushTick() - before, 1000u) << "a push is dated";
  ASSERT_EQ(pushNumbered(2), 1);
  ASSERT_EQ(queue.pop(popped), 1);
  EXPECT_TRUE(queue.dataEvent().isSet());
  ASSERT_EQ(queue.pop(popped), 1);
  EXPECT_FALSE(queue.dataEvent().isSet());
}

TEST_F(VideoQueue, RefusesAFrameLargerThanABufferAndKeepsEveryBuffer) {
  EXPECT_EQ(pushNumbered(1, 200000), 0);
  EXPECT_EQ(pushNumbered(1, kVideoBytes + 1), 0);
  EXPECT_FALSE(queue.dataEvent().isSet());
  for (std::uint8_t i = 0; i < 16; ++i) {
    EXPECT_EQ(pushNumbered(i, kVideoBytes), 1);
  }
  EXPECT_EQ(queue.poolCount(), 16u);
}

TEST_F(VideoQueue, DropsAFrameTooLargeForTheConsumersRecord) {
  ASSERT_EQ(pushNumbered(1, 5000), 1);
  ASSERT_EQ(pushNumbered(2, 100), 1);
  std::vector<std::uint8_t> small(4096, 0xEE);
  FrameRecord record = recordOf(small);
  EXPECT_EQ(queue.pop(record), 0);
  EXPECT_EQ(small[4095], 0xEE);
  ASSERT_EQ(queue.pop(record), 1);
  EXPECT_EQ(record.header[0], 2);
  EXPECT_EQ(queue.filledCount(), 0u);
}

TEST(FrameQueueThreads, ConsumerWakingOnTheDataEventGetsEveryFrameInOrder) {
  FrameQueue queue("Default");
  ASSERT_EQ(queue.allocate(4096, 16), 1);
  constexpr int kFrames = 2000;
  std::thread producer([&] {
    std::vector<std::uint8_t> bytes(64);
    for (int i = 0; i < kFrames; ++i) {
      bytes[0] = static_cast<std::uint8_t>(i);
      bytes[1] = static_cast<std::uint8_t>(i >> 8);
      FrameRecord record = recordOf(bytes);
      while (queue.push(record) == 0) {
        queue.roomEvent().wait(std::chrono::milliseconds(100));
      }
    }
  });
  std::vector<std::uint8_t> bytes(8192);
  FrameRecord record = recordOf(bytes);
  int expected = 0;
  while (expected < kFrames) {
    if (waitAny({&queue.dataEvent()}, std::chrono::milliseconds(1000)) != 0) {
      ADD_FAILURE() << "no frame for a second after frame " << expected;
      break;
    }
    while (queue.pop(record) == 1) {
      ASSERT_EQ(bytes[0] | (bytes[1] << 8), expected);
      ++expected;
    }
  }
  producer.join();
}

}  // namespace
}  // namespace marlin
