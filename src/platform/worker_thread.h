#pragma once

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/manual_reset_event.h"

namespace marlin {

// Base of every object that runs a thread. The thread body is run(); it is
// expected to leave when stopEvent is signalled or running is cleared.
// A derived class must stop its thread in its own destructor, before the
// object that run() uses is gone.
class WorkerThread {
 public:
  WorkerThread() = default;
  virtual ~WorkerThread();
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;

  // 1 when a thread was started; 0 while one already exists (running or
  // ended but not yet stopped). The priority is a hint this platform ignores.
  int start(int priority);
  // Signals stopEvent and waits without limit for the thread to end.
  void stop();
  // Clears running (and signals stopEvent, so that no wait of the body
  // delays it) and waits up to limit for the thread to end. true when it did.
  bool requestStopAndWait(std::chrono::milliseconds limit = std::chrono::milliseconds(5000));

  bool isRunning() const { return running_.load(); }
  bool hasThread() const { return thread_.joinable(); }

 protected:
  virtual int run() = 0;

  std::atomic<int> running_{0};
  ManualResetEvent stopEvent_;

 private:
  std::thread thread_;
  std::atomic<bool> ended_{false};
};

}  // namespace marlin
