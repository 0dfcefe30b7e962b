#include "platform/thread_priority.h"

#include <sys/resource.h>
#include <unistd.h>

namespace marlin {

namespace {

// Well below the default 0, above the idle-only 19.
constexpr int kBackgroundNice = 10;

}  // namespace

bool lowerCurrentThreadPriority() {
  // PRIO_PROCESS with a thread id names that one thread on Linux.
  return ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), kBackgroundNice) == 0;
}

}  // namespace marlin
