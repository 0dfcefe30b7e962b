#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

#include "platform/audio_device.h"

namespace marlin::testing {

// A sound device that plays nothing: the test decides what each call
// returns and where the play position stands, and reads back what was done.
// The scalar fields are atomics, so a test may script and read them while an
// engine worker uses the device.
class FakeAudioDevice final : public AudioDevice {
 public:
  std::atomic<bool> openSucceeds{true};
  std::atomic<bool> prepareSucceeds{true};
  std::atomic<bool> startSucceeds{true};
  std::atomic<bool> pauseSucceeds{true};
  std::atomic<bool> restartSucceeds{true};
  std::atomic<bool> positionFails{false};
  std::atomic<std::uint32_t> position{0};

  std::atomic<bool> opened{false};
  std::atomic<bool> looping{false};
  std::atomic<bool> paused{false};
  std::atomic<const std::uint8_t*> ring{nullptr};
  std::atomic<int> openCount{0};
  std::atomic<int> closeCount{0};
  std::atomic<int> pauseCount{0};
  std::atomic<int> restartCount{0};
  std::atomic<int> volumeCount{0};
  std::atomic<std::uint32_t> lastVolume{0};
  // Written by open only.
  WaveFormat lastFormat{};
  // Called first thing by open; set while no engine worker runs.
  std::function<void()> beforeOpen;

  bool open(const WaveFormat& format) override;
  void close() override;
  bool isOpen() const override { return opened; }
  bool prepareLoop(const std::uint8_t* loopRing, std::uint32_t size) override;
  bool startLoop() override;
  bool playedBytes(std::uint32_t& bytes) const override;
  bool pause() override;
  bool restart() override;
  void setVolume(std::uint32_t volume) override;
  void lockRing() override {}
  void unlockRing() override {}
};

}  // namespace marlin::testing
