#include "platform/wake_signal.h"

#include <gtest/gtest.h>
#include <poll.h>

#include "platform/shared_mouse.h"

namespace marlin {
namespace {

bool readable(const WakeSignal& wake) {
  pollfd entry{wake.fd(), POLLIN, 0};
  return ::poll(&entry, 1, 0) == 1 && (entry.revents & POLLIN) != 0;
}

TEST(WakeSignal, StaysReadableFromPokeToDrainAndNeverBlocks) {
  WakeSignal wake;
  EXPECT_FALSE(readable(wake));
  wake.drain();  // nothing to drain: must not block
  for (int i = 0; i < 100000; ++i) {
    wake.poke();
  }
  EXPECT_TRUE(readable(wake));
  // A wait sees the poke and leaves it for the drain.
  EXPECT_TRUE(wake.wait(std::chrono::milliseconds(-1)));
  EXPECT_TRUE(readable(wake));
  wake.drain();
  EXPECT_FALSE(readable(wake));
  EXPECT_FALSE(wake.wait(std::chrono::milliseconds(0)));
}

TEST(SharedMouse, PokesItsWakeOnEveryRecordAndHandsTheLatestOnce) {
  WakeSignal wake;
  SharedMouse mouse;
  mouse.setWake(&wake);
  mouse.record({1, 5, 6, 640, 448});
  mouse.record({2, 7, 8, 640, 448});
  EXPECT_TRUE(readable(wake));
  const auto taken = mouse.takeFresh();
  ASSERT_TRUE(taken);
  EXPECT_EQ(taken->state, 2);
  EXPECT_EQ(taken->x, 7);
  EXPECT_FALSE(mouse.takeFresh());
  EXPECT_EQ(mouse.peek().y, 8);
  mouse.setWake(nullptr);
  wake.drain();
  mouse.record({0, 1, 1, 640, 448});
  EXPECT_FALSE(readable(wake));
}

}  // namespace
}  // namespace marlin
