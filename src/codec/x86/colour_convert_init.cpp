#include "codec/x86/colour_convert_init.h"

namespace marlin::colour {

const Kernel& sse2Kernel();

void colourConvertInitX86(std::vector<const Kernel*>& versions, CpuFlags flags) {
  if ((flags & kCpuSse2) != 0) {
    versions.push_back(&sse2Kernel());
  }
}

}  // namespace marlin::colour
