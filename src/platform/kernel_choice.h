#pragma once

#include <atomic>
#include <initializer_list>
#include <span>
#include <stdexcept>
#include <vector>

#include "platform/cpu_features.h"

namespace marlin {

// The versions of one hot-path kernel (portable, SSE2, AVX2 ...) that this
// processor may run under cpuFlags(), and the one in use: the last (fastest)
// of them unless select() chose another, to compare versions.
template <class Kernel>
class KernelChoice {
 public:
  // Appends the vector versions of the build's architecture that flags
  // allow, slowest first; nothing on architectures without any.
  using ArchInit = void (*)(std::vector<const Kernel*>& versions, CpuFlags flags);

  KernelChoice(const Kernel& portable, ArchInit archInit) : supported_{&portable} {
    archInit(supported_, cpuFlags());
    active_.store(supported_.back(), std::memory_order_relaxed);
  }

  // In order of preference, the portable one first.
  std::span<const Kernel* const> supported() const { return supported_; }
  const Kernel& active() const { return *active_.load(std::memory_order_relaxed); }

  // Refuses a version outside supported(): one the processor lacks or the
  // CPU flags mask ruled out.
  void select(const Kernel& kernel) {
    for (const Kernel* version : supported_) {
      if (version == &kernel) {
        active_.store(version, std::memory_order_relaxed);
        return;
      }
    }
    throw std::invalid_argument("kernel version not supported here");
  }

 private:
  std::vector<const Kernel*> supported_;
  std::atomic<const Kernel*> active_;
};

// A vector version of a kernel and the instruction sets it needs.
template <class Kernel>
struct VectorVersion {
  CpuFlags needs;
  const Kernel& kernel;
};

// Appends the ladder's versions while flags allow them. Each rung builds on
// the ones below it, as processors do (no AVX2 without SSE2), so the first
// version ruled out ends the climb.
template <class Kernel>
void climbVersionLadder(std::vector<const Kernel*>& versions, CpuFlags flags,
                        std::initializer_list<VectorVersion<Kernel>> ladder) {
  for (const VectorVersion<Kernel>& rung : ladder) {
    if ((flags & rung.needs) != rung.needs) {
      return;
    }
    versions.push_back(&rung.kernel);
  }
}

}  // namespace marlin
