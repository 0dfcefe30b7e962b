#include "net/mouse_sender.h"

#include <utility>

#include "net/control_message.h"

namespace marlin::net {

std::vector<std::uint8_t> buildMouseMessage(const MouseFields& fields, MouseRemoteMode mode) {
  const int state = fields.state + (mode == MouseRemoteMode::DisplayCursor ? 0x100 : 0);
  const auto low16 = [](int value) { return static_cast<std::uint16_t>(value & 0xFFFF); };
  return buildControlMessage(
      kMouse, {low16(state), low16(fields.viewWidth), low16(fields.viewHeight), low16(fields.x), low16(fields.y)});
}

std::optional<std::vector<std::uint8_t>> MouseSender::due(Clock::time_point now) {
  if (now < nextSend_ || !mouse_.isFresh()) {
    return std::nullopt;
  }
  const std::optional<MouseFields> fields = mouse_.takeFresh();
  if (!fields) {
    return std::nullopt;
  }
  nextSend_ = now + kInterval;
  if (mode_ == MouseRemoteMode::Disabled) {
    return std::nullopt;
  }
  held_ = fields->buttonDown() ? fields : std::nullopt;
  return buildMouseMessage(*fields, mode_);
}

std::optional<std::vector<std::uint8_t>> MouseSender::releaseHeld() {
  if (!held_) {
    return std::nullopt;
  }
  MouseFields released = *std::exchange(held_, std::nullopt);
  released.state = MouseFields::kReleased;
  return buildMouseMessage(released, mode_);
}

std::optional<MouseSender::Clock::time_point> MouseSender::nextDeadline() const {
  if (!mouse_.isFresh()) {
    return std::nullopt;
  }
  // Before the first send nextSend_ lies in the past: due at once.
  return nextSend_;
}

}  // namespace marlin::net
