#include "platform/task_pool.h"

#include <sched.h>

#include <algorithm>

namespace marlin {

unsigned TaskPool::coreCount() {
  cpu_set_t allowed;
  CPU_ZERO(&allowed);
  if (sched_getaffinity(0, sizeof allowed, &allowed) == 0) {
    return static_cast<unsigned>(std::max(1, CPU_COUNT(&allowed)));
  }
  return std::max(1u, std::thread::hardware_concurrency());
}

TaskPool::TaskPool(unsigned threads, std::size_t queueLimit) {
  const unsigned count = threads == 0 ? coreCount() : threads;
  // Two tasks a worker keep every worker busy without holding much memory.
  queueLimit_ = queueLimit == 0 ? 2 * static_cast<std::size_t>(count) : queueLimit;
  workers_.reserve(count);
  for (unsigned i = 0; i < count; ++i) {
    workers_.emplace_back([this] { work(); });
  }
}

TaskPool::~TaskPool() {
  wait();
  {
    const std::lock_guard<std::mutex> held(lock_);
    stopping_ = true;
  }
  taskReady_.notify_all();
  for (std::thread& worker : workers_) {
    worker.join();
  }
}

void TaskPool::add(std::function<void()> task) {
  std::unique_lock<std::mutex> held(lock_);
  roomOrDone_.wait(held, [this] { return tasks_.size() < queueLimit_; });
  tasks_.push_back(std::move(task));
  held.unlock();
  taskReady_.notify_one();
}

void TaskPool::wait() {
  std::unique_lock<std::mutex> held(lock_);
  roomOrDone_.wait(held, [this] { return tasks_.empty() && running_ == 0; });
}

bool TaskPool::waitFor(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> held(lock_);
  return roomOrDone_.wait_for(held, timeout, [this] { return tasks_.empty() && running_ == 0; });
}

void TaskPool::work() {
  for (;;) {
    std::function<void()> task;
    {
      std::unique_lock<std::mutex> held(lock_);
      taskReady_.wait(held, [this] { return stopping_ || !tasks_.empty(); });
      if (tasks_.empty()) {
        return;
      }
      task = std::move(tasks_.front());
      tasks_.pop_front();
      ++running_;
    }
    roomOrDone_.notify_all();
    task();
    {
      const std::lock_guard<std::mutex> held(lock_);
      --running_;
    }
    roomOrDone_.notify_all();
  }
}

}  // namespace marlin
