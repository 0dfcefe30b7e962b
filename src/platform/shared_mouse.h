#pragma once

#include <cstdint>
#include <mutex>
#include <optional>

#include "platform/wake_signal.h"

namespace marlin {

// The last mouse event in the video view, as the DVR's remote control sends
// it: state 0 none or released, 1 left down, 2 right down, 3 left
// double-click, 4 right double-click; the position and the view's size at
// that moment, in view pixels.
struct MouseFields {
  static constexpr int kReleased = 0;
  static constexpr int kLeftDown = 1;
  static constexpr int kRightDown = 2;
  static constexpr int kLeftDoubleClick = 3;
  static constexpr int kRightDoubleClick = 4;

  int state = kReleased;
  int x = 0;
  int y = 0;
  int viewWidth = 0;
  int viewHeight = 0;

  // A double-click is over when told: only a plain press waits for its release.
  bool buttonDown() const { return state == kLeftDown || state == kRightDown; }
};

// The mouse fields shared between the view (which records events on the UI
// thread) and the network client (which sends them from its own thread).
// A recorded event is fresh until the client takes it; events recorded in
// between replace each other, so the client always sends the latest.
class SharedMouse {
 public:
  void record(const MouseFields& fields);
  // The current fields without taking them.
  MouseFields peek() const;
  bool isFresh() const;
  // The fields if fresh, clearing the freshness.
  std::optional<MouseFields> takeFresh();
  void clearFresh();
  // Back to no event at all: nothing fresh, no button down.
  void reset();
  // poked on every record, so a thread waiting on it sees events at once;
  // null to stop. The signal must outlive its use here.
  void setWake(WakeSignal* wake);

 private:
  mutable std::mutex lock_;
  MouseFields fields_;
  bool fresh_ = false;
  WakeSignal* wake_ = nullptr;
};

}  // namespace marlin
