#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace marlin {

// A fixed set of worker threads taking tasks from one bounded queue: add
// waits while the queue is full, so a producer never runs far ahead of the
// workers, and wait returns once every task added has run. Tasks must not
// throw. The destructor waits for the tasks already added.
class TaskPool {
 public:
  // threads 0: one per core.
  explicit TaskPool(unsigned threads = 0, std::size_t queueLimit = 0);
  ~TaskPool();
  TaskPool(const TaskPool&) = delete;
  TaskPool& operator=(const TaskPool&) = delete;

  unsigned threadCount() const { return static_cast<unsigned>(workers_.size()); }
  void add(std::function<void()> task);
  void wait();
  // Waits at most timeout; true once every task added has run.
  bool waitFor(std::chrono::milliseconds timeout);

  // The cores this process may run on, one at least.
  static unsigned coreCount();

 private:
  void work();

  std::mutex lock_;
  std::condition_variable taskReady_;
  std::condition_variable roomOrDone_;
  std::deque<std::function<void()>> tasks_;
  std::size_t queueLimit_;
  std::size_t running_ = 0;
  bool stopping_ = false;
  std::vector<std::thread> workers_;
};

}  // namespace marlin
