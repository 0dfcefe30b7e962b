#include "export/compression_choice.h"

#include <mutex>

namespace marlin::compression_choice {

namespace {

std::mutex& choiceMutex() {
  static std::mutex mutex;
  return mutex;
}

Compression& choice() {
  static Compression value = Compression::uncompressedDefault();
  return value;
}

}  // namespace

Compression current() {
  std::lock_guard lock(choiceMutex());
  return choice();
}

void set(const Compression& chosen) {
  std::lock_guard lock(choiceMutex());
  choice() = chosen;
}

void reset() { set(Compression::uncompressedDefault()); }

void zero() { set(Compression::zeroed()); }

}  // namespace marlin::compression_choice
