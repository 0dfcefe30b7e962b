#include "source/x86/start_code_search_init.h"

namespace marlin::startcode {

const Kernels& sse2Kernels();
const Kernels& avx2Kernels();

// AVX2 is only taken on top of SSE2, as the processors that have it do, so
// a mask without SSE2 leaves the portable search alone.
void startCodeSearchInitX86(std::vector<const Kernels*>& versions, CpuFlags flags) {
  if ((flags & kCpuSse2) == 0) {
    return;
  }
  versions.push_back(&sse2Kernels());
  if ((flags & kCpuAvx2) == 0) {
    return;
  }
  versions.push_back(&avx2Kernels());
}

}  // namespace marlin::startcode
