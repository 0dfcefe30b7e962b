#include "platform/kernel_choice.h"

namespace marlin {

bool cpuHasSse2() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("sse2");
}

bool cpuHasAvx2() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2");
}

}  // namespace marlin
