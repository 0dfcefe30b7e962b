#include "platform/shared_mouse.h"

namespace marlin {

void SharedMouse::record(const MouseFields& fields) {
  std::lock_guard lock(lock_);
  fields_ = fields;
  fresh_ = true;
  if (wake_ != nullptr) {
    wake_->poke();
  }
}

MouseFields SharedMouse::peek() const {
  std::lock_guard lock(lock_);
  return fields_;
}

bool SharedMouse::isFresh() const {
  std::lock_guard lock(lock_);
  return fresh_;
}

std::optional<MouseFields> SharedMouse::takeFresh() {
  std::lock_guard lock(lock_);
  if (!fresh_) {
    return std::nullopt;
  }
  fresh_ = false;
  return fields_;
}

void SharedMouse::clearFresh() {
  std::lock_guard lock(lock_);
  fresh_ = false;
}

void SharedMouse::reset() {
  std::lock_guard lock(lock_);
  fields_ = {};
  fresh_ = false;
}

void SharedMouse::setWake(WakeSignal* wake) {
  std::lock_guard lock(lock_);
  wake_ = wake;
}

}  // namespace marlin
