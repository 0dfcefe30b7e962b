#pragma once

#include <chrono>

namespace marlin {

// A file descriptor that a thread blocked in poll() can be woken through:
// poke() from any thread makes fd() readable until drain(). Lets a socket
// wait end at once on a stop request or a fresh mouse event instead of
// waking on a short timer to look.
class WakeSignal {
 public:
  WakeSignal();
  ~WakeSignal();
  WakeSignal(const WakeSignal&) = delete;
  WakeSignal& operator=(const WakeSignal&) = delete;

  void poke();
  void drain();
  // Waits up to limit (negative: without limit) for a poke, which stays
  // until drain(); false when none came. A limit of 0 only looks.
  bool wait(std::chrono::milliseconds limit) const;
  int fd() const { return fd_; }

 private:
  int fd_ = -1;
};

}  // namespace marlin
