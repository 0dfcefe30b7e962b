#pragma once

#include <cstdint>
#include <span>

namespace marlin::picking {

// Copies pixels 0, 2, 4 ... of a row of 4-byte pixels: count of them, into
// out back to back. Halving a picture's width is this, row by row.
using EveryOtherPixelFn = void (*)(std::uint8_t* out, const std::uint8_t* in, int count);

struct Kernel {
  const char* name;
  EveryOtherPixelFn everyOtherPixel32;
};

const Kernel& portableKernel();
// Every version this processor may run under cpuFlags(), the portable one
// first; the fastest is active unless selectKernel chose another of them.
std::span<const Kernel* const> supportedKernels();
const Kernel& activeKernel();
void selectKernel(const Kernel& kernel);

}  // namespace marlin::picking
