#include "net/remote_key_queue.h"

#include <utility>

namespace marlin::net {

void RemoteKeyQueue::open() {
  std::lock_guard guard(lock_);
  keys_.clear();
  open_ = true;
}

std::vector<std::uint8_t> RemoteKeyQueue::close() {
  std::lock_guard guard(lock_);
  open_ = false;
  return std::exchange(keys_, {});
}

bool RemoteKeyQueue::push(std::uint8_t value) {
  std::lock_guard guard(lock_);
  if (!open_ || keys_.size() >= kCapacity) {
    return false;
  }
  keys_.push_back(value);
  return true;
}

std::vector<std::uint8_t> RemoteKeyQueue::take() {
  std::lock_guard guard(lock_);
  return std::exchange(keys_, {});
}

}  // namespace marlin::net
