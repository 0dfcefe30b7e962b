#include "platform/thread_priority.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <thread>

namespace marlin {
namespace {

// Only the calling thread yields: the process's other threads keep their priority.
TEST(ThreadPriority, LowersTheCallingThreadOnly) {
  const int before = ::getpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()));
  int lowered = before;
  bool done = false;
  std::thread worker([&] {
    done = lowerCurrentThreadPriority();
    lowered = ::getpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()));
  });
  worker.join();
  ASSERT_TRUE(done);
  EXPECT_EQ(lowered, std::min(before + 10, 19));
  EXPECT_EQ(::getpriority(PRIO_PROCESS, static_cast<id_t>(::gettid())), before);
}

}  // namespace
}  // namespace marlin
