#pragma once

#include <atomic>
#include <cstdint>

#include "platform/audio_device.h"

namespace marlin {

// AudioDevice on an SDL audio device. SDL pulls samples from a callback, so
// the callback copies the ring onward from the played position and counts
// what it took; SDL converts to whatever the hardware wants. SDL has no
// device volume, so the level is applied to the samples as they go out.
class SdlAudioDevice final : public AudioDevice {
 public:
  // With fallBackToDummy, a device that cannot be opened with the configured
  // driver (no sound server, no sound card) is opened once more on SDL's
  // dummy driver, which takes samples at about the real rate without playing
  // them, so that playback keeps its pace. Where the machine has no sound
  // output at all and no driver is named in SDL_AUDIODRIVER, the dummy
  // driver is used straight away.
  explicit SdlAudioDevice(bool fallBackToDummy = false);
  ~SdlAudioDevice() override;
  SdlAudioDevice(const SdlAudioDevice&) = delete;
  SdlAudioDevice& operator=(const SdlAudioDevice&) = delete;

  // Mono 8-bit unsigned or 16-bit signed little-endian PCM only.
  bool open(const WaveFormat& format) override;
  void close() override;
  bool isOpen() const override { return device_ != 0; }

  // The ring size must be a power of two, so that the wrap of the 32-bit
  // played count leaves the ring offset in step.
  bool prepareLoop(const std::uint8_t* ring, std::uint32_t size) override;
  // Fails also when the device has been lost (unplugged, server gone).
  bool startLoop() override;
  bool playedBytes(std::uint32_t& bytes) const override;
  bool pause() override;
  bool restart() override;
  // The device starts at full level; only the low 16 bits count (mono).
  void setVolume(std::uint32_t volume) override { volume_ = volume; }
  void lockRing() override;
  void unlockRing() override;

 private:
  static void feed(void* self, std::uint8_t* stream, int length);
  void play(std::uint8_t* stream, std::uint32_t length);
  bool openWithConfiguredDriver(const WaveFormat& format);
  bool isLost() const;
  bool setPaused(bool on);
  void applyPause();

  const bool fallBackToDummy_;
  std::atomic<std::uint32_t> device_{0};
  std::uint16_t bitsPerSample_ = 0;
  // Read by the callback, changed only under lockRing.
  const std::uint8_t* ring_ = nullptr;
  std::uint32_t ringSize_ = 0;
  bool looping_ = false;
  bool paused_ = false;
  std::atomic<std::uint32_t> consumed_{0};
  std::atomic<std::uint32_t> volume_{0xFFFFFFFF};
};

// Scales 8-bit unsigned (around 128) or 16-bit signed little-endian samples
// in place by the low 16 bits of volume: 0 silences, 0xFFFF changes nothing.
void scaleToVolume(std::uint8_t* samples, std::uint32_t length, std::uint16_t bitsPerSample, std::uint32_t volume);

}  // namespace marlin
