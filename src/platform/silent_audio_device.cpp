#include "platform/silent_audio_device.h"

namespace marlin {

bool SilentAudioDevice::open(const WaveFormat& format) {
  bytesPerSecond_ = format.avgBytesPerSec;
  playedBefore_ = {};
  prepared_ = false;
  looping_ = false;
  paused_ = false;
  running_ = false;
  open_ = true;
  return true;
}

void SilentAudioDevice::close() {
  open_ = false;
  running_ = false;
}

bool SilentAudioDevice::prepareLoop(const std::uint8_t* ring, std::uint32_t size) {
  prepared_ = open_ && ring != nullptr && size != 0;
  return prepared_;
}

bool SilentAudioDevice::startLoop() {
  if (!prepared_) {
    return false;
  }
  looping_ = true;
  if (!paused_ && !running_) {
    running_ = true;
    runStart_ = Clock::now();
  }
  return true;
}

bool SilentAudioDevice::playedBytes(std::uint32_t& bytes) const {
  if (!open_) {
    return false;
  }
  const Clock::duration played = playedBefore_ + (running_ ? Clock::now() - runStart_ : Clock::duration{});
  const auto microseconds = std::chrono::duration_cast<std::chrono::microseconds>(played).count();
  bytes = static_cast<std::uint32_t>(static_cast<std::uint64_t>(microseconds) * bytesPerSecond_ / 1000000);
  return true;
}

bool SilentAudioDevice::pause() {
  if (!open_) {
    return false;
  }
  paused_ = true;
  if (running_) {
    playedBefore_ += Clock::now() - runStart_;
    running_ = false;
  }
  return true;
}

bool SilentAudioDevice::restart() {
  if (!open_) {
    return false;
  }
  paused_ = false;
  if (looping_ && !running_) {
    running_ = true;
    runStart_ = Clock::now();
  }
  return true;
}

}  // namespace marlin
