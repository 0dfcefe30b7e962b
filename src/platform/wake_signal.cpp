#include "platform/wake_signal.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>

#include "base/log.h"
#include "platform/poll_wait.h"

namespace marlin {

WakeSignal::WakeSignal() : fd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
  if (fd_ < 0) {
    // Without it no wait could be ended early: a thread would sleep through
    // a stop request. Running out of descriptors this early is fatal.
    logError(Status::fromErrno(errno, "wake signal: eventfd").message());
    std::abort();
  }
}

WakeSignal::~WakeSignal() { ::close(fd_); }

void WakeSignal::poke() {
  const std::uint64_t one = 1;
  // EAGAIN means the counter is saturated: already readable.
  while (::write(fd_, &one, sizeof one) < 0 && errno == EINTR) {
  }
}

void WakeSignal::drain() {
  std::uint64_t count;
  // One read resets the counter; EAGAIN means nothing was poked.
  while (::read(fd_, &count, sizeof count) < 0 && errno == EINTR) {
  }
}

bool WakeSignal::wait(std::chrono::milliseconds limit) const {
  return waitForEvents(fd_, POLLIN, limit, nullptr) == PollOutcome::Ready;
}

}  // namespace marlin
