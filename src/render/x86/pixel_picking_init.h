#pragma once

#include <vector>

#include "platform/cpu_features.h"
#include "render/pixel_picking.h"

namespace marlin::picking {

// Appends the SSE2 and AVX2 versions that flags allow.
void pixelPickingInitX86(std::vector<const Kernel*>& versions, CpuFlags flags);

}  // namespace marlin::picking
