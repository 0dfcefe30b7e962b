#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <span>

#include "platform/audio_device.h"
#include "platform/message_sink.h"
#include "platform/wave_format.h"

namespace marlin {

// Plays PCM through a device that loops over one 8192-byte ring. Writers put
// samples ahead of the play position and count the bytes written; service
// pauses the device when fewer than 1024 unplayed bytes are left and restarts
// it once there are 1024 again. Writes and service run on the engine's worker
// thread; setVolume and setMute may run on the UI thread meanwhile.
class AudioOutput {
 public:
  static constexpr std::uint32_t kRingSize = 8192;
  static constexpr std::uint32_t kMargin = 1024;

  AudioOutput(AudioDevice& device, MessageSink& messages);
  ~AudioOutput();
  AudioOutput(const AudioOutput&) = delete;
  AudioOutput& operator=(const AudioOutput&) = delete;

  // Returns 1, or 0 when the device does not open. The stored volume is not
  // applied.
  int open(const WaveFormat& format);
  // Hands the silenced ring to the device and starts the loop. Returns 1, also
  // when no device is open, or 0 on failure.
  int startLoop();

  // Return 1 when the block went into the ring, 0 when it would come within
  // 1024 bytes of the play position or the position cannot be read.
  int writePcm(const std::uint8_t* data, std::uint32_t length);
  // Expands each G.711 A-law byte to a 16-bit sample; unlike writePcm, the
  // write offset then follows the byte count.
  int writeALaw(const std::uint8_t* data, std::uint32_t length);

  void service();

  // Left level in the low 16 bits of volume, applied to both channels.
  void setVolume(std::uint32_t volume);
  std::uint32_t getVolume() const;
  void setMute(bool on);
  bool getMute() const;

  void close();
  bool isOpen() const;

  std::uint32_t written() const { return written_; }
  std::uint32_t queued() const { return queued_; }
  std::uint32_t writeOffset() const { return writeOffset_; }
  bool isPaused() const { return paused_; }
  // The last reading of the device's position failed: a refused write will
  // not fit later either until the device answers again.
  bool positionFailed() const { return positionFailed_; }
  std::uint32_t sampleRate() const { return sampleRate_; }
  std::uint16_t bitsPerSample() const { return bitsPerSample_; }
  // Empty when the ring could not be allocated.
  std::span<const std::uint8_t> ring() const;

 private:
  // Keeps the device from reading the ring while it is being written.
  class RingLock;

  void clearRing();
  bool readPlayed(bool wholeSamples, std::uint32_t& played);
  bool roundsToSamples() const { return format_.blockAlign != 1; }
  bool hasRoomFor(std::uint64_t bytes, bool wholeSamples);

  AudioDevice& device_;
  MessageSink& messages_;
  WaveFormat format_{};
  std::uint32_t sampleRate_ = 0;
  std::uint16_t bitsPerSample_ = 0;
  std::unique_ptr<std::uint8_t[]> ring_;
  std::uint32_t writeOffset_ = 0;
  // Same units as the device's played position, and wraps with it.
  std::uint32_t written_ = 0;
  std::uint32_t queued_ = 0;
  bool paused_ = false;
  bool positionFailed_ = false;
  // Until the first underrun pause, written jumps to where the device stopped.
  bool resync_ = true;
  std::atomic<std::uint32_t> volume_{0};
  std::atomic<bool> mute_{false};
};

}  // namespace marlin
