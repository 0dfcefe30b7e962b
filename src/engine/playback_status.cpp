#include "engine/playback_status.h"

namespace marlin {

CalendarTime PlaybackStatus::frameTime() const {
  std::lock_guard guard(frameTimeLock_);
  return frameTime_;
}

void PlaybackStatus::setFrameTime(const CalendarTime& time) {
  std::lock_guard guard(frameTimeLock_);
  frameTime_ = time;
}

void PlaybackStatus::setPictureSize(int width, int height) {
  pictureWidth_ = width;
  pictureHeight_ = height;
}

void PlaybackStatus::setBlockLayout(std::uint16_t channelMask, int frameInterval) {
  channelMask_ = channelMask;
  frameInterval_ = frameInterval;
}

}  // namespace marlin
