#include "platform/worker_thread.h"

namespace marlin {

WorkerThread::~WorkerThread() { stop(); }

int WorkerThread::start(int /*priority*/) {
  running_ = 1;
  if (thread_.joinable()) {
    return 0;
  }
  stopEvent_.reset();
  ended_ = false;
  thread_ = std::thread([this] {
    run();
    running_ = 0;
    ended_ = true;
  });
  return 1;
}

void WorkerThread::stop() {
  stopEvent_.set();
  if (thread_.joinable()) {
    thread_.join();
  }
}

bool WorkerThread::requestStopAndWait(std::chrono::milliseconds limit) {
  running_ = 0;
  if (!thread_.joinable()) {
    return true;
  }
  stopEvent_.set();
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!ended_) {
    if (std::chrono::steady_clock::now() >= deadline) {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  thread_.join();
  return true;
}

}  // namespace marlin
