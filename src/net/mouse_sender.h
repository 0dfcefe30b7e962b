#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/shared_mouse.h"

namespace marlin::net {

// How the view's mouse drives the DVR's cursor: 0 not at all, 1 with the
// DVR's cursor hidden, 2 with it shown (the state sent plus 0x100).
enum class MouseRemoteMode : int { Disabled = 0, HiddenCursor = 1, DisplayCursor = 2 };

// The mouse message (code 0x89): state, view width, view height, x, y, each
// as the low 16 bits in four hex digits.
std::vector<std::uint8_t> buildMouseMessage(const MouseFields& fields, MouseRemoteMode mode);

// Turns the view's mouse events into at most one mouse message per 250 ms,
// each with the latest event: events in between are merged. The sender
// remembers a press the DVR heard without its release, so a session can end
// with the buttons up (releaseHeld).
class MouseSender {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr std::chrono::milliseconds kInterval{250};

  explicit MouseSender(SharedMouse& mouse) : mouse_(mouse) {}

  void setMode(MouseRemoteMode mode) { mode_ = mode; }
  MouseRemoteMode mode() const { return mode_; }

  // The message to send now, if an event is fresh and the last message is
  // at least 250 ms old; the event is then taken. With the mode Disabled a
  // due event is taken and the pause starts all the same, but nothing is
  // returned.
  std::optional<std::vector<std::uint8_t>> due(Clock::time_point now);
  // When due() should next be asked: now for a fresh event whose pause
  // has passed, the end of the pause for one that waits, nullopt when no
  // event is fresh.
  std::optional<Clock::time_point> nextDeadline() const;
  // The release for a press the DVR heard without one; nullopt when no
  // button is down for it. Afterwards none is.
  std::optional<std::vector<std::uint8_t>> releaseHeld();

 private:
  SharedMouse& mouse_;
  MouseRemoteMode mode_ = MouseRemoteMode::HiddenCursor;
  Clock::time_point nextSend_{};
  // The last press sent, while its release has not been.
  std::optional<MouseFields> held_;
};

}  // namespace marlin::net
