#pragma once

#include <atomic>
#include <span>
#include <vector>

namespace marlin {

// The versions of one hot-path kernel (portable, SSE2, AVX2 ...) that this
// processor can run, and the one in use: the last (fastest) supported one
// unless select() chose another, to compare versions or to rule SIMD out.
template <class Kernel>
class KernelChoice {
 public:
  // Versions in order of preference, the portable one first; null entries
  // (versions the processor lacks) are left out.
  explicit KernelChoice(std::initializer_list<const Kernel*> candidates) {
    for (const Kernel* kernel : candidates) {
      if (kernel != nullptr) {
        supported_.push_back(kernel);
      }
    }
    active_.store(supported_.back(), std::memory_order_relaxed);
  }

  std::span<const Kernel* const> supported() const { return supported_; }
  const Kernel& active() const { return *active_.load(std::memory_order_relaxed); }
  void select(const Kernel& kernel) { active_.store(&kernel, std::memory_order_relaxed); }

 private:
  std::vector<const Kernel*> supported_;
  std::atomic<const Kernel*> active_;
};

// What the processor offers, asked once.
bool cpuHasSse2();
bool cpuHasAvx2();

}  // namespace marlin
