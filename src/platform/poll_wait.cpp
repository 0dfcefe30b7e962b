#include "platform/poll_wait.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <climits>

#include "platform/wake_signal.h"

namespace marlin {

PollOutcome waitForEvents(int fd, short events, std::chrono::milliseconds limit, const WakeSignal* wake) {
  using Clock = std::chrono::steady_clock;
  const bool unlimited = limit.count() < 0;
  const Clock::time_point deadline = Clock::now() + (unlimited ? std::chrono::milliseconds(0) : limit);
  pollfd watched[2] = {{fd, events, 0}, {wake != nullptr ? wake->fd() : -1, POLLIN, 0}};
  for (;;) {
    int timeoutMs = -1;
    if (!unlimited) {
      // Rounded up, so a wait never ends a fraction of a millisecond early and loops without sleeping.
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
      timeoutMs = static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(left.count(), 0, INT_MAX));
    }
    const int ready = ::poll(watched, wake != nullptr ? 2 : 1, timeoutMs);
    if (ready < 0) {
      if (errno == EINTR) {
        continue;
      }
      return PollOutcome::Failed;
    }
    if (watched[0].revents & POLLNVAL) {
      errno = EBADF;
      return PollOutcome::Failed;
    }
    if (watched[0].revents != 0) {
      return PollOutcome::Ready;
    }
    if (watched[1].revents != 0) {
      return PollOutcome::Woken;
    }
    if (timeoutMs == 0 || (!unlimited && Clock::now() >= deadline)) {
      return PollOutcome::TimedOut;
    }
  }
}

}  // namespace marlin
