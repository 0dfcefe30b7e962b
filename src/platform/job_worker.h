#pragma once

#include <functional>

#include "platform/manual_reset_event.h"
#include "platform/worker_thread.h"

namespace marlin {

// A thread that runs one job at a time for its owner, so that the owner can
// get on with other work and collect the result later. The thread starts with
// the first job and ends with the object.
class JobWorker : private WorkerThread {
 public:
  JobWorker() = default;
  ~JobWorker() override;

  // Runs job on the worker thread. A job posted earlier is waited for first,
  // so at most one is ever running.
  void post(std::function<void()> job);
  // Returns once the job posted last has run; at once when none is pending.
  // Whatever the job wrote is then visible to the caller.
  void wait();
  bool pending() const { return pending_; }

 private:
  int run() override;

  std::function<void()> job_;
  ManualResetEvent posted_;
  ManualResetEvent done_;
  bool pending_ = false;
};

}  // namespace marlin
