#pragma once

#include <chrono>
#include <functional>

namespace marlin::testing {

// How long a test waits for something that should happen soon: long enough
// for a loaded machine or a sanitizer build, short enough that a fault fails
// the test instead of hanging it.
inline constexpr std::chrono::milliseconds kPatience{30000};

// Polls condition about every millisecond until it holds (true) or patience
// runs out (false). Every test that waits for another thread or process
// waits through this.
bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds patience = kPatience);

}  // namespace marlin::testing
