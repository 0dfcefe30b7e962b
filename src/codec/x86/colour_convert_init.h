#pragma once

#include <vector>

#include "codec/colour_convert.h"
#include "platform/cpu_features.h"

namespace marlin::colour {

// Appends the SSE2 and AVX2 conversions that flags allow.
void colourConvertInitX86(std::vector<const Kernel*>& versions, CpuFlags flags);

}  // namespace marlin::colour
