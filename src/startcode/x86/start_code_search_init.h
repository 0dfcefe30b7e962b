#pragma once

#include <vector>

#include "platform/cpu_features.h"
#include "startcode/start_code_search.h"

namespace marlin::startcode {

// Appends the SSE2 and AVX2 searches that flags allow, slower first.
void startCodeSearchInitX86(std::vector<const Kernels*>& versions, CpuFlags flags);

}  // namespace marlin::startcode
