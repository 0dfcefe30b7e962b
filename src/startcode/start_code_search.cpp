#include "startcode/start_code_search.h"

#include "platform/kernel_choice.h"
#ifdef MARLIN_ARCH_X86_64
#include "startcode/x86/start_code_search_init.h"
#endif

namespace marlin::startcode {

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

std::size_t findAllAnyPortable(const std::uint8_t* data, std::size_t begin, std::size_t end, std::uint32_t* starts,
                               std::size_t capacity) {
  std::size_t count = 0;
  for (std::size_t p = begin; p + 4 <= end && count < capacity; ++p) {
    if (isAnyStartCodeAt(data + p)) {
      starts[count++] = static_cast<std::uint32_t>(p);
    }
  }
  return count;
}

const Kernels kPortable{"portable", findFirstPortable, findLastPortable, findAllAnyPortable};

void addVectorVersions([[maybe_unused]] std::vector<const Kernels*>& versions, [[maybe_unused]] CpuFlags flags) {
#ifdef MARLIN_ARCH_X86_64
  startCodeSearchInitX86(versions, flags);
#endif
}

KernelChoice<Kernels>& choice() {
  static KernelChoice<Kernels> kernels(kPortable, addVectorVersions);
  return kernels;
}

}  // namespace

const Kernels& portableKernels() { return kPortable; }
std::span<const Kernels* const> supportedKernels() { return choice().supported(); }
const Kernels& activeKernels() { return choice().active(); }
void selectKernels(const Kernels& kernels) { choice().select(kernels); }

}  // namespace marlin::startcode
