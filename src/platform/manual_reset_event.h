#pragma once

#include <chrono>
#include <initializer_list>

namespace marlin {

// An event that stays signalled until it is reset, as the worker threads'
// stop and command events and the frame queues' data and room events are.
// Any number of events can be waited on together (waitAny).
class ManualResetEvent {
 public:
  ManualResetEvent() = default;
  ManualResetEvent(const ManualResetEvent&) = delete;
  ManualResetEvent& operator=(const ManualResetEvent&) = delete;

  void set();
  void reset();
  bool isSet() const;
  // true when signalled within the timeout.
  bool wait(std::chrono::milliseconds timeout) const;

 private:
  friend int waitAny(std::initializer_list<const ManualResetEvent*>, std::chrono::milliseconds);
  bool signalled_ = false;
};

// Index of the first signalled event in the list (checked in order), waiting
// up to timeout for one; -1 when none was signalled in time. A zero timeout
// only polls; a negative one waits without limit.
int waitAny(std::initializer_list<const ManualResetEvent*> events, std::chrono::milliseconds timeout);

}  // namespace marlin
