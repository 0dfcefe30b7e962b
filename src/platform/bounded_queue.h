#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <utility>

namespace marlin {

// A first-in first-out queue of at most `limit` items between threads: push
// waits while it is full, so a producer never runs far ahead of its
// consumers, and pop waits while it is empty. close() ends the waiting:
// push then refuses, and pop hands out what is left, then nothing.
template <typename T>
class BoundedQueue {
 public:
  explicit BoundedQueue(std::size_t limit) : limit_(limit == 0 ? 1 : limit) {}
  BoundedQueue(const BoundedQueue&) = delete;
  BoundedQueue& operator=(const BoundedQueue&) = delete;

  // False, and item dropped, once the queue is closed.
  bool push(T item) {
    std::unique_lock lock(lock_);
    room_.wait(lock, [this] { return closed_ || items_.size() < limit_; });
    if (closed_) {
      return false;
    }
    items_.push_back(std::move(item));
    ready_.notify_one();
    return true;
  }

  // Nothing once the queue is closed and empty.
  std::optional<T> pop() {
    std::unique_lock lock(lock_);
    ready_.wait(lock, [this] { return closed_ || !items_.empty(); });
    if (items_.empty()) {
      return std::nullopt;
    }
    T item = std::move(items_.front());
    items_.pop_front();
    room_.notify_one();
    return item;
  }

  void close() {
    const std::lock_guard lock(lock_);
    closed_ = true;
    ready_.notify_all();
    room_.notify_all();
  }

  // Closes the queue and drops what it still holds.
  void abandon() {
    const std::lock_guard lock(lock_);
    closed_ = true;
    items_.clear();
    ready_.notify_all();
    room_.notify_all();
  }

 private:
  std::mutex lock_;
  std::condition_variable ready_;
  std::condition_variable room_;
  std::deque<T> items_;
  std::size_t limit_;
  bool closed_ = false;
};

}  // namespace marlin
