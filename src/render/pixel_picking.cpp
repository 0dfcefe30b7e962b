#include "render/pixel_picking.h"

#include <cstring>
#include <vector>

#include "platform/kernel_choice.h"
#ifdef MARLIN_ARCH_X86_64
#include "render/x86/pixel_picking_init.h"
#endif

namespace marlin::picking {

namespace {

void everyOtherPixel32Portable(std::uint8_t* out, const std::uint8_t* in, int count) {
  for (int i = 0; i < count; ++i) {
    std::memcpy(out + 4 * i, in + 8 * i, 4);
  }
}

const Kernel kPortable{"portable", everyOtherPixel32Portable};

void addVectorVersions([[maybe_unused]] std::vector<const Kernel*>& versions, [[maybe_unused]] CpuFlags flags) {
#ifdef MARLIN_ARCH_X86_64
  pixelPickingInitX86(versions, flags);
#endif
}

KernelChoice<Kernel>& choice() {
  static KernelChoice<Kernel> kernels(kPortable, addVectorVersions);
  return kernels;
}

}  // namespace

const Kernel& portableKernel() { return kPortable; }
std::span<const Kernel* const> supportedKernels() { return choice().supported(); }
const Kernel& activeKernel() { return choice().active(); }
void selectKernel(const Kernel& kernel) { choice().select(kernel); }

}  // namespace marlin::picking
