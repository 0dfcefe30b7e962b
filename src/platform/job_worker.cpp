#include "platform/job_worker.h"

#include <chrono>

namespace marlin {

namespace {
constexpr std::chrono::milliseconds kNoLimit{-1};
}  // namespace

JobWorker::~JobWorker() {
  wait();
  stop();
}

void JobWorker::post(std::function<void()> job) {
  wait();
  if (!hasThread()) {
    start(0);
  }
  job_ = std::move(job);
  pending_ = true;
  done_.reset();
  posted_.set();
}

void JobWorker::wait() {
  if (!pending_) {
    return;
  }
  done_.wait(kNoLimit);
  pending_ = false;
}

int JobWorker::run() {
  while (waitAny({&stopEvent_, &posted_}, kNoLimit) == 1) {
    posted_.reset();
    job_();
    done_.set();
  }
  return 0;
}

}  // namespace marlin
