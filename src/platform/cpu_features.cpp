#include "platform/cpu_features.h"

#include <atomic>
#include <stdexcept>

namespace marlin {

namespace {

CpuFlags detectedFlags() {
  CpuFlags flags = 0;
#if defined(__x86_64__)
  __builtin_cpu_init();
  if (__builtin_cpu_supports("sse2")) {
    flags |= kCpuSse2;
  }
  if (__builtin_cpu_supports("avx2")) {
    flags |= kCpuAvx2;
  }
#endif
  return flags;
}

// The mask in the low 32 bits; kMaskRead is added by the first cpuFlags()
// call, in the same atomic word so that a mask set concurrently with the
// first read either counts or is refused.
constexpr std::uint64_t kMaskRead = std::uint64_t{1} << 32;
std::atomic<std::uint64_t> maskState{kCpuAllFlags};

}  // namespace

CpuFlags cpuFlags() {
  static const CpuFlags detected = detectedFlags();
  return detected & static_cast<CpuFlags>(maskState.fetch_or(kMaskRead));
}

void setCpuFlagsMask(CpuFlags mask) {
  std::uint64_t state = maskState.load();
  do {
    if ((state & kMaskRead) != 0) {
      throw std::logic_error("the CPU flags mask must be set before the first kernel choice");
    }
  } while (!maskState.compare_exchange_weak(state, mask));
}

}  // namespace marlin
