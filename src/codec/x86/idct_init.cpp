#include "codec/x86/idct_init.h"

#include "platform/kernel_choice.h"

namespace marlin::codec {

const IdctKernel& sse2Idct();
const IdctKernel& avx2Idct();

void idctInitX86(std::vector<const IdctKernel*>& versions, CpuFlags flags) {
  climbVersionLadder<IdctKernel>(versions, flags, {{kCpuSse2, sse2Idct()}, {kCpuAvx2, avx2Idct()}});
}

}  // namespace marlin::codec
