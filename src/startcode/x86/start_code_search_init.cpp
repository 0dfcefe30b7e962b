#include "startcode/x86/start_code_search_init.h"

#include "platform/kernel_choice.h"

namespace marlin::startcode {

const Kernels& sse2Kernels();
const Kernels& avx2Kernels();

void startCodeSearchInitX86(std::vector<const Kernels*>& versions, CpuFlags flags) {
  climbVersionLadder<Kernels>(versions, flags, {{kCpuSse2, sse2Kernels()}, {kCpuAvx2, avx2Kernels()}});
}

}  // namespace marlin::startcode
