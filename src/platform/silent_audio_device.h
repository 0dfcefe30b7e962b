#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

#include "platform/audio_device.h"

namespace marlin {

// A sound device that plays nothing but consumes its ring at the format's
// byte rate, so that playback without sound keeps the timing it has with
// sound (the ring still holds the pictures back when it is full).
class SilentAudioDevice final : public AudioDevice {
 public:
  bool open(const WaveFormat& format) override;
  void close() override;
  bool isOpen() const override { return open_; }
  bool prepareLoop(const std::uint8_t* ring, std::uint32_t size) override;
  bool startLoop() override;
  bool playedBytes(std::uint32_t& bytes) const override;
  bool pause() override;
  bool restart() override;
  void setVolume(std::uint32_t) override {}
  void lockRing() override {}
  void unlockRing() override {}

 private:
  using Clock = std::chrono::steady_clock;

  std::atomic<bool> open_{false};
  bool prepared_ = false;
  bool looping_ = false;  // startLoop was called
  bool paused_ = false;
  bool running_ = false;  // looping and not paused
  std::uint32_t bytesPerSecond_ = 0;
  // Playing time before the current run, and when the current run began.
  Clock::duration playedBefore_{};
  Clock::time_point runStart_{};
};

}  // namespace marlin
