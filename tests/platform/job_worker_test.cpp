#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "platform/job_worker.h"

namespace marlin {
namespace {

TEST(JobWorker, RunsEachJobOnItsOwnThreadInTurn) {
  JobWorker worker;
  EXPECT_FALSE(worker.pending());
  worker.wait();  // nothing posted: returns at once

  std::vector<int> order;
  std::thread::id ranOn;
  for (int job = 0; job < 50; ++job) {
    // Each post waits for the previous job, so the jobs never overlap and
    // keep their order even though the vector is not locked.
    worker.post([&order, &ranOn, job] {
      order.push_back(job);
      ranOn = std::this_thread::get_id();
    });
  }
  EXPECT_TRUE(worker.pending());
  worker.wait();
  EXPECT_FALSE(worker.pending());
  ASSERT_EQ(order.size(), 50u);
  for (int job = 0; job < 50; ++job) {
    EXPECT_EQ(order[static_cast<std::size_t>(job)], job);
  }
  EXPECT_NE(ranOn, std::this_thread::get_id());
}

TEST(JobWorker, EndsWithAJobStillPending) {
  int ran = 0;
  {
    JobWorker worker;
    worker.post([&ran] {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      ++ran;
    });
  }
  EXPECT_EQ(ran, 1);
}

}  // namespace
}  // namespace marlin
