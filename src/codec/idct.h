#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

// The 8x8 inverse transform of decoded blocks: the integer Chen-Wang IDCT
// with 32-bit two's-complement intermediates and 16-bit storage between the
// row and the column pass, clamped to 0..255 and written as 8 rows of 8
// bytes. The SSE2 and AVX2 versions compute the same arithmetic in vector
// lanes and give bit-identical results.
namespace marlin::codec {

// block is used as scratch; dest receives 8 rows at stride bytes apart.
using IdctFn = void (*)(std::int16_t* block, std::uint8_t* dest, std::ptrdiff_t stride);
// The same transform with its results clipped to -256..255 instead of
// 0..255, in natural order: what accuracy measurements look at.
using IdctResidualFn = void (*)(std::int16_t* block, std::int16_t* out);

struct IdctKernel {
  const char* name;
  IdctFn transform;
  IdctResidualFn transformResidual;
};

const IdctKernel& portableIdct();

// The transform of blocks whose coefficients all lie in the first column
// (every output row flat) or all in the first row (every output row the
// same), which comes down to one column or one row of the transform: the
// same results as every version above for a fraction of the work. block is
// only read.
void transformFirstColumnOnly(const std::int16_t* block, std::uint8_t* dest, std::ptrdiff_t stride);
void transformFirstRowOnly(const std::int16_t* block, std::uint8_t* dest, std::ptrdiff_t stride);

// Every version this processor may run under cpuFlags(), the portable one first.
std::span<const IdctKernel* const> supportedIdcts();

// The version new decoders take: the fastest supported one unless
// selectIdct chose another supported one (the comparison tests).
const IdctKernel& activeIdct();
void selectIdct(const IdctKernel& kernel);

}  // namespace marlin::codec
