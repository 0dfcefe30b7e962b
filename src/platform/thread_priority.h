#pragma once

namespace marlin {

// Lowers the calling thread's scheduling priority (Linux schedules threads
// one by one, so only this thread yields to the others), for long work that
// should run flat out without slowing what the user watches. False when the
// system refused.
bool lowerCurrentThreadPriority();

}  // namespace marlin
