#include "render/x86/pixel_picking_init.h"

#include "platform/kernel_choice.h"

namespace marlin::picking {

const Kernel& sse2Kernel();
const Kernel& avx2Kernel();

void pixelPickingInitX86(std::vector<const Kernel*>& versions, CpuFlags flags) {
  climbVersionLadder<Kernel>(versions, flags, {{kCpuSse2, sse2Kernel()}, {kCpuAvx2, avx2Kernel()}});
}

}  // namespace marlin::picking
