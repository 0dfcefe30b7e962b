#pragma once

#include <vector>

#include "codec/idct.h"
#include "platform/cpu_features.h"

namespace marlin::codec {

// Appends the SSE2 and AVX2 transforms that flags allow, slower first.
void idctInitX86(std::vector<const IdctKernel*>& versions, CpuFlags flags);

}  // namespace marlin::codec
