#pragma once

#include <cstdint>

// The vector instruction sets the hot paths have versions for, and the one
// process-wide value every kernel choice goes by.
namespace marlin {

using CpuFlags = std::uint32_t;

inline constexpr CpuFlags kCpuSse2 = 1u << 0;
inline constexpr CpuFlags kCpuAvx2 = 1u << 1;
inline constexpr CpuFlags kCpuAllFlags = ~CpuFlags{0};

// What the processor offers, less what setCpuFlagsMask ruled out.
CpuFlags cpuFlags();

// Rules out every instruction set whose bit is clear in mask: 0 leaves only
// the portable code ("--simd off"). Each hot path makes its choice once, on
// first use, so the mask has to be set before the first cpuFlags() call;
// after it, setting the mask throws std::logic_error instead of leaving
// choices already made at odds with it.
void setCpuFlagsMask(CpuFlags mask);

}  // namespace marlin
