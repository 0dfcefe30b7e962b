#include "source/start_code_search.h"

#include "platform/kernel_choice.h"

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

KernelChoice<Kernels>& choice() {
  static KernelChoice<Kernels> kernels{&kPortable, cpuHasSse2() ? &sse2Kernels() : nullptr,
                                       cpuHasAvx2() ? &avx2Kernels() : nullptr};
  return kernels;
}

}  // namespace

const Kernels& portableKernels() { return kPortable; }
std::span<const Kernels* const> supportedKernels() { return choice().supported(); }
const Kernels& activeKernels() { return choice().active(); }
void selectKernels(const Kernels& kernels) { choice().select(kernels); }

}  // namespace marlin::startcode
