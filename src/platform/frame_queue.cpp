#include "platform/frame_queue.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <new>

namespace marlin {

namespace {

std::uint32_t tickCount() {
  const auto sinceBoot = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(sinceBoot).count());
}

}  // namespace

void FrameQueue::BufferRing::pushBack(QueuedFrame* frame) {
  slots_[(head_ + count_) % slots_.size()] = frame;
  ++count_;
}

FrameQueue::QueuedFrame* FrameQueue::BufferRing::popFront() {
  QueuedFrame* frame = slots_[head_];
  head_ = (head_ + 1) % slots_.size();
  --count_;
  return frame;
}

FrameQueue::FrameQueue(std::string name) : name_(std::move(name)) {}

int FrameQueue::allocate(std::uint32_t size, std::uint32_t count) {
  std::lock_guard guard(lock_);
  int result = 1;
  try {
    const std::size_t total = pool_.size() + count;
    pool_.reserve(total);
    filled_.reserve(total);
    free_.reserve(total);
    for (std::uint32_t i = 0; i < count; ++i) {
      auto frame = std::make_unique<QueuedFrame>();
      frame->data.resize(std::max<std::uint32_t>(size, 16));
      frame->tick = tickCount();
      free_.pushBack(frame.get());
      pool_.push_back(std::move(frame));
    }
  } catch (const std::bad_alloc&) {
    result = 0;
  }
  updateEvents();
  return result;
}

int FrameQueue::push(const FrameRecord& record) {
  const std::uint32_t now = tickCount();
  std::lock_guard guard(lock_);
  if (free_.empty()) {
    return 0;
  }
  QueuedFrame* frame = free_.popFront();
  if (frame->data.size() < record.length) {
    free_.pushBack(frame);
    return 0;
  }
  std::memcpy(frame->data.data(), record.data, record.length);
  frame->header = record.header;
  frame->kind = record.kind;
  frame->length = record.length;
  filled_.pushBack(frame);
  updateEvents();
  lastPushTick_ = now;
  return 1;
}

int FrameQueue::pop(FrameRecord& record) {
  std::lock_guard guard(lock_);
  if (filled_.empty()) {
    return 0;
  }
  QueuedFrame* frame = filled_.popFront();
  const bool fits = frame->length <= record.capacity;
  if (fits) {
    std::memcpy(record.data, frame->data.data(), frame->length);
    record.header = frame->header;
    record.length = frame->length;
  }
  free_.pushBack(frame);
  updateEvents();
  return fits ? 1 : 0;
}

void FrameQueue::updateEvents() {
  if (filled_.empty()) {
    dataEvent_.reset();
  } else {
    dataEvent_.set();
  }
  if (free_.empty()) {
    roomEvent_.reset();
  } else {
    roomEvent_.set();
  }
}

std::uint32_t FrameQueue::poolCount() const {
  std::lock_guard guard(lock_);
  return static_cast<std::uint32_t>(pool_.size());
}

std::uint32_t FrameQueue::filledCount() const {
  std::lock_guard guard(lock_);
  return static_cast<std::uint32_t>(filled_.size());
}

std::uint32_t FrameQueue::lastPushTick() const {
  std::lock_guard guard(lock_);
  return lastPushTick_;
}

}  // namespace marlin
