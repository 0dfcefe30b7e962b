#include "platform/manual_reset_event.h"

#include <condition_variable>
#include <mutex>

namespace marlin {

namespace {

// The program has a handful of events and few waiters, so one lock and one
// condition for all of them keeps waiting on several at once simple and exact.
struct EventHub {
  std::mutex mutex;
  std::condition_variable changed;
};

// Never destroyed: events owned by other static objects may still be set
// while the program exits.
EventHub& hub() {
  static EventHub* const instance = new EventHub;
  return *instance;
}

}  // namespace

void ManualResetEvent::set() {
  {
    std::lock_guard lock(hub().mutex);
    signalled_ = true;
  }
  hub().changed.notify_all();
}

void ManualResetEvent::reset() {
  std::lock_guard lock(hub().mutex);
  signalled_ = false;
}

bool ManualResetEvent::isSet() const {
  std::lock_guard lock(hub().mutex);
  return signalled_;
}

bool ManualResetEvent::wait(std::chrono::milliseconds timeout) const { return waitAny({this}, timeout) == 0; }

int waitAny(std::initializer_list<const ManualResetEvent*> events, std::chrono::milliseconds timeout) {
  int found = -1;
  const auto firstSignalled = [&] {
    int index = 0;
    for (const ManualResetEvent* event : events) {
      if (event->signalled_) {
        found = index;
        return true;
      }
      ++index;
    }
    return false;
  };
  std::unique_lock lock(hub().mutex);
  if (timeout.count() < 0) {
    hub().changed.wait(lock, firstSignalled);
  } else if (timeout.count() == 0) {
    firstSignalled();
  } else {
    hub().changed.wait_for(lock, timeout, firstSignalled);
  }
  return found;
}

}  // namespace marlin
