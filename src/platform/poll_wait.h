#pragma once

#include <chrono>

namespace marlin {

class WakeSignal;

enum class PollOutcome { Ready, Woken, TimedOut, Failed };

// Waits up to limit (negative: without limit) for events on fd or for wake
// (may be null), going on through signals with the time that is left. fd
// wins over wake when both are ready, so no data is left unread because of
// a poke. Failed leaves the reason in errno.
PollOutcome waitForEvents(int fd, short events, std::chrono::milliseconds limit, const WakeSignal* wake);

}  // namespace marlin
