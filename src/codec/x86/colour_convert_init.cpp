#include "codec/x86/colour_convert_init.h"

#include "platform/kernel_choice.h"

namespace marlin::colour {

const Kernel& sse2Kernel();
const Kernel& avx2Kernel();

void colourConvertInitX86(std::vector<const Kernel*>& versions, CpuFlags flags) {
  climbVersionLadder<Kernel>(versions, flags, {{kCpuSse2, sse2Kernel()}, {kCpuAvx2, avx2Kernel()}});
}

}  // namespace marlin::colour
