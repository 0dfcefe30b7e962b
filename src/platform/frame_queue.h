#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/manual_reset_event.h"

namespace marlin {

// A frame as producers and consumers of a FrameQueue hold it: the caller
// owns data and says how much room it has.
struct FrameRecord {
  std::uint8_t* data = nullptr;
  int kind = 0;  // the live worker uses 1 for video, 4 for audio
  std::uint32_t capacity = 0;
  std::uint32_t length = 0;
  std::array<std::uint8_t, 32> header{};
  std::uint32_t tick = 0;
};

// Passes compressed frames from one producer thread to one consumer thread
// through a fixed pool of buffers allocated once: push copies a frame into a
// free buffer, pop copies the oldest one out. When every buffer is full the
// newest frame loses (push refuses it); frames already queued come out in
// order. The data event is signalled exactly while a frame waits, the room
// event exactly while a buffer is free.
class FrameQueue {
 public:
  explicit FrameQueue(std::string name);
  FrameQueue(const FrameQueue&) = delete;
  FrameQueue& operator=(const FrameQueue&) = delete;

  // Adds count buffers of max(size, 16) bytes. 1, or 0 when memory ran out
  // (the buffers made so far stay).
  int allocate(std::uint32_t size, std::uint32_t count);
  // 1 when the frame was queued; 0 when no buffer is free or it is too large.
  int push(const FrameRecord& record);
  // 1 when a frame was copied into record. A frame longer than the record's
  // capacity is dropped (its buffer freed) and 0 returned, so a consumer
  // with too small a buffer loses that frame instead of overrunning.
  int pop(FrameRecord& record);
  const ManualResetEvent& dataEvent() const { return dataEvent_; }
  const ManualResetEvent& roomEvent() const { return roomEvent_; }

  const std::string& name() const { return name_; }
  std::uint32_t poolCount() const;
  std::uint32_t filledCount() const;
  std::uint32_t lastPushTick() const;

 private:
  struct QueuedFrame {
    std::vector<std::uint8_t> data;
    int kind = 0;
    std::uint32_t length = 0;
    std::array<std::uint8_t, 32> header{};
    std::uint32_t tick = 0;
  };
  // A first-in first-out list of buffers that never allocates once sized.
  class BufferRing {
   public:
    void reserve(std::size_t n) { slots_.resize(n); }
    bool empty() const { return count_ == 0; }
    std::size_t size() const { return count_; }
    void pushBack(QueuedFrame* frame);
    QueuedFrame* popFront();

   private:
    std::vector<QueuedFrame*> slots_;
    std::size_t head_ = 0;
    std::size_t count_ = 0;
  };

  void updateEvents();

  std::string name_;
  mutable std::mutex lock_;
  ManualResetEvent dataEvent_;
  ManualResetEvent roomEvent_;
  std::vector<std::unique_ptr<QueuedFrame>> pool_;
  BufferRing filled_;
  BufferRing free_;
  std::uint32_t lastPushTick_ = 0;
};

}  // namespace marlin
