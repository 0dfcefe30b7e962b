#include "app/desktop/command_rules.h"

#include "app/desktop/command_ids.h"

namespace marlin::desktop {

namespace {

bool isDvrControl(CommandId id) { return id >= kDvrPause && id <= kDvrSelect; }

}  // namespace

CommandLook commandLook(CommandId id, const WindowFacts& f) {
  if (f.busy && id != kExit && id != kCloseButton && id != kMinimise) {
    return {false, false};
  }
  const bool pausedWithSource = f.sourceOpen && f.state == PlaybackState::Paused;
  if (isDvrControl(id)) {
    return {f.connected, false};
  }
  switch (id) {
    case kPlay:
    case kPause:
    case kFastForward:
    case kFastRewind:
    case kNextFrame:
    case kPreviousFrame:
    case kPlayReverse:
      return {f.state != PlaybackState::Idle, false};
    case kCloseFile:
      return {f.sourceOpen, false};
    case kPlayerMode:
      return {true, f.mode == EngineMode::Player};
    case kClientMode:
      return {true, f.mode == EngineMode::Client};
    case kMarkIn:
    case kMarkOut:
      return {pausedWithSource, false};
    case kExportCapture:
      return {pausedWithSource && f.markOut > f.markIn && f.markOut - f.markIn < kLargestExportRange, false};
    case kGoToTime:
      return {f.sourceOpen, false};
    case kSplit9:
      return {f.splitLimit >= 9, false};
    case kSplit16:
      return {f.splitLimit >= 16, false};
    case kMute:
      return {true, f.muted};
    case kShowTime:
      return {true, f.showTime};
    case kAlwaysOnTop:
      return {true, f.alwaysOnTop};
    case kNormal:
      return {true, f.normal};
    case kMaximize:
      return {true, f.maximized};
    case kSize640x448:
      return {true, f.videoWidth == 640 && f.videoHeight == 448};
    case kSize640x544:
      return {true, f.videoWidth == 640 && f.videoHeight == 544};
    case kStartLocalRecording:
      return {f.connected && !f.localRecording, false};
    case kStopLocalRecording:
      return {f.localRecording, false};
    case kNextEvent:
    case kPreviousEvent:
      return {f.mode == EngineMode::Player && f.sourceOpen && f.activityReady, false};
    case kEventList:
      return {f.mode == EngineMode::Player && f.sourceOpen, f.eventListShown};
    case kClearRegion:
      return {f.mode == EngineMode::Player && f.regionDrawn, false};
    default:
      return {true, false};
  }
}

const char* connectItemText(bool connected) { return connected ? "Disconnect" : "&Connect..."; }

}  // namespace marlin::desktop
