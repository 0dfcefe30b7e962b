#include "platform/thread_priority.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace marlin {

namespace {

// Steps below the thread's priority so far: from the default 0 well below
// anything interactive, still above the idle-only 19.
constexpr int kBackgroundSteps = 10;
constexpr int kLowestNice = 19;

}  // namespace

bool lowerCurrentThreadPriority() {
  // PRIO_PROCESS with a thread id names that one thread on Linux.
  const auto thread = static_cast<id_t>(::gettid());
  errno = 0;
  const int current = ::getpriority(PRIO_PROCESS, thread);
  if (errno != 0) return false;
  return ::setpriority(PRIO_PROCESS, thread, std::min(current + kBackgroundSteps, kLowestNice)) == 0;
}

}  // namespace marlin
