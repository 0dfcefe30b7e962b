#include "source/start_code_search.h"

#include <atomic>
#include <vector>

namespace marlin::startcode {

const Kernels& sse2Kernels();
const Kernels& avx2Kernels();

namespace {

std::size_t findFirstPortable(const std::uint8_t* data, std::size_t begin, std::size_t end) {
  for (std::size_t p = begin; p + 4 <= end; ++p) {
    if (isStartCodeAt(data + p)) {
      return p;
    }
  }
  return kNotFound;
}

std::size_t findLastPortable(const std::uint8_t* data, std::size_t begin, std::size_t end) {
  if (end < begin + 4) {
    return kNotFound;
  }
  for (std::size_t p = end - 4 + 1; p-- > begin;) {
    if (isStartCodeAt(data + p)) {
      return p;
    }
  }
  return kNotFound;
}

const Kernels kPortable{"portable", findFirstPortable, findLastPortable};

std::vector<const Kernels*> detectSupported() {
  std::vector<const Kernels*> kernels{&kPortable};
  __builtin_cpu_init();
  if (__builtin_cpu_supports("sse2")) {
    kernels.push_back(&sse2Kernels());
  }
  if (__builtin_cpu_supports("avx2")) {
    kernels.push_back(&avx2Kernels());
  }
  return kernels;
}

}  // namespace

const Kernels& portableKernels() { return kPortable; }

std::span<const Kernels* const> supportedKernels() {
  static const std::vector<const Kernels*> kernels = detectSupported();
  return kernels;
}

namespace {

std::atomic<const Kernels*>& selected() {
  static std::atomic<const Kernels*> kernels{supportedKernels().back()};
  return kernels;
}

}  // namespace

const Kernels& activeKernels() { return *selected().load(std::memory_order_relaxed); }

void selectKernels(const Kernels& kernels) { selected().store(&kernels, std::memory_order_relaxed); }

}  // namespace marlin::startcode
