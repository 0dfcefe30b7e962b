#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace marlin::cli {

// Makes SIGINT and SIGTERM end a long command cleanly instead of killing it:
// the signals are blocked in every thread, and a thread of their own runs
// onStop when one arrives.
class StopOnSignals {
 public:
  // Before any other thread starts, so that all of them inherit the block.
  explicit StopOnSignals(std::function<void()> onStop);
  ~StopOnSignals();
  StopOnSignals(const StopOnSignals&) = delete;
  StopOnSignals& operator=(const StopOnSignals&) = delete;

  bool requested() const { return requested_.load(); }
  // Sleeps for the time given, or less when a stop comes; false when one came.
  bool sleepFor(std::chrono::duration<double> time);

 private:
  std::function<void()> onStop_;
  std::atomic<bool> requested_{false};
  std::atomic<bool> finishing_{false};
  std::mutex mutex_;
  std::condition_variable stopped_;
  std::thread waiter_;
};

}  // namespace marlin::cli
