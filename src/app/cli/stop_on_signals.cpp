#include "app/cli/stop_on_signals.h"

#include <pthread.h>

#include <csignal>

namespace marlin::cli {

namespace {

sigset_t stopSignals() {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  return signals;
}

}  // namespace

StopOnSignals::StopOnSignals(std::function<void()> onStop) : onStop_(std::move(onStop)) {
  const sigset_t signals = stopSignals();
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  waiter_ = std::thread([this, signals] {
    int received = 0;
    sigwait(&signals, &received);
    if (!finishing_.load()) {
      {
        const std::lock_guard lock(mutex_);
        requested_.store(true);
      }
      stopped_.notify_all();
      onStop_();
    }
  });
}

bool StopOnSignals::sleepFor(std::chrono::duration<double> time) {
  std::unique_lock lock(mutex_);
  return !stopped_.wait_for(lock, time, [this] { return requested_.load(); });
}

StopOnSignals::~StopOnSignals() {
  finishing_.store(true);
  if (!requested_.load()) {
    // The waiter takes its own signal and ends.
    pthread_kill(waiter_.native_handle(), SIGTERM);
  }
  waiter_.join();
}

}  // namespace marlin::cli
