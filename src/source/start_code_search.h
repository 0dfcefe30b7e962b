#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

// Bulk search for frame start codes (00 00 01 S, S = 0xF8..0xFD) inside one
// block's bytes. The stream source scans with these instead of stepping one
// byte at a time; a portable version and SSE2/AVX2 versions give identical
// results.
namespace marlin::startcode {

inline constexpr std::size_t kNotFound = static_cast<std::size_t>(-1);

// Both return the start index p of a start code lying wholly in [begin, end):
// findFirst the smallest such p, findLast the largest; kNotFound if none.
using SearchFn = std::size_t (*)(const std::uint8_t* data, std::size_t begin, std::size_t end);

struct Kernels {
  const char* name;
  SearchFn findFirst;
  SearchFn findLast;
};

const Kernels& portableKernels();

// Every version this processor may run under cpuFlags(), the portable one first.
std::span<const Kernels* const> supportedKernels();

// The version the stream source uses: the fastest supported one unless
// selectKernels chose another supported one (to compare versions).
const Kernels& activeKernels();
void selectKernels(const Kernels& kernels);

inline bool isStartCodeAt(const std::uint8_t* p) {
  return p[0] == 0 && p[1] == 0 && p[2] == 1 && p[3] >= 0xF8 && p[3] <= 0xFD;
}

}  // namespace marlin::startcode
