#include "platform/worker_thread.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/manual_reset_event.h"

namespace marlin {
namespace {

using namespace std::chrono_literals;

TEST(ManualResetEvent, StaysSignalledUntilResetAndWaitAnyPicksTheFirst) {
  ManualResetEvent stop;
  ManualResetEvent command;
  EXPECT_EQ(waitAny({&stop, &command}, 0ms), -1);
  command.set();
  EXPECT_EQ(waitAny({&stop, &command}, 0ms), 1);
  EXPECT_EQ(waitAny({&stop, &command}, 0ms), 1);
  stop.set();
  EXPECT_EQ(waitAny({&stop, &command}, 0ms), 0);
  stop.reset();
  command.reset();
  EXPECT_FALSE(command.wait(1ms));
}

TEST(ManualResetEvent, WaitEndsWhenAnotherThreadSignals) {
  ManualResetEvent stop;
  ManualResetEvent command;
  std::thread setter([&] {
    std::this_thread::sleep_for(20ms);
    command.set();
  });
  EXPECT_EQ(waitAny({&stop, &command}, 10000ms), 1);
  setter.join();
}

// Runs until stopped, counting its runs.
class LoopingWorker final : public WorkerThread {
 public:
  ~LoopingWorker() override { stop(); }
  int runs = 0;

 protected:
  int run() override {
    ++runs;
    while (running_ && !stopEvent_.wait(1000ms)) {
    }
    return 1;
  }
};

TEST(WorkerThread, StartsOnceAndStopsEitherWay) {
  LoopingWorker worker;
  EXPECT_EQ(worker.start(1), 1);
  EXPECT_EQ(worker.start(1), 0);
  // Waking the body's wait lets it notice at once, well inside the limit.
  EXPECT_TRUE(worker.requestStopAndWait(5000ms));
  EXPECT_FALSE(worker.isRunning());
  EXPECT_EQ(worker.start(1), 1);
  worker.stop();
  EXPECT_FALSE(worker.hasThread());
  EXPECT_EQ(worker.runs, 2);
}

}  // namespace
}  // namespace marlin
