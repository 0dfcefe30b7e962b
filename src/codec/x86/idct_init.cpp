#include "codec/x86/idct_init.h"

namespace marlin::codec {

const IdctKernel& sse2Idct();
const IdctKernel& avx2Idct();

// AVX2 is only taken on top of SSE2, as the processors that have it do, so
// a mask without SSE2 leaves the portable transform alone.
void idctInitX86(std::vector<const IdctKernel*>& versions, CpuFlags flags) {
  if ((flags & kCpuSse2) == 0) {
    return;
  }
  versions.push_back(&sse2Idct());
  if ((flags & kCpuAvx2) == 0) {
    return;
  }
  versions.push_back(&avx2Idct());
}

}  // namespace marlin::codec
