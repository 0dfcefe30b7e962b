#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

// Bulk search for start codes (00 00 01 and a code byte): frame start codes
// (code byte 0xF8..0xFD) inside one block's bytes, for the stream source,
// and start codes of any kind inside one picture, for its slices. Both scan
// many bytes a step instead of one; a portable version and SSE2/AVX2
// versions give identical results.
namespace marlin::startcode {

inline constexpr std::size_t kNotFound = static_cast<std::size_t>(-1);

// Both return the start index p of a frame start code lying wholly in
// [begin, end): findFirst the smallest such p, findLast the largest;
// kNotFound if none.
using SearchFn = std::size_t (*)(const std::uint8_t* data, std::size_t begin, std::size_t end);

// Writes the start indices of the start codes of any kind lying wholly
// (with their code byte) in [begin, end) to starts, smallest first, up to
// capacity of them; returns how many it wrote. One call for all of a
// picture's slices.
using CollectFn = std::size_t (*)(const std::uint8_t* data, std::size_t begin, std::size_t end, std::uint32_t* starts,
                                  std::size_t capacity);

struct Kernels {
  const char* name;
  SearchFn findFirst;
  SearchFn findLast;
  CollectFn findAllAny;
};

const Kernels& portableKernels();

// Every version this processor may run under cpuFlags(), the portable one first.
std::span<const Kernels* const> supportedKernels();

// The version the searches use: the fastest supported one unless
// selectKernels chose another supported one (to compare versions).
const Kernels& activeKernels();
void selectKernels(const Kernels& kernels);

inline bool isAnyStartCodeAt(const std::uint8_t* p) { return p[0] == 0 && p[1] == 0 && p[2] == 1; }

inline bool isStartCodeAt(const std::uint8_t* p) { return isAnyStartCodeAt(p) && p[3] >= 0xF8 && p[3] <= 0xFD; }

}  // namespace marlin::startcode
