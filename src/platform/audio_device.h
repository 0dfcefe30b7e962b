#pragma once

#include <cstdint>

#include "platform/wave_format.h"

namespace marlin {

// A sound device that plays one ring of PCM over and over. Everything but
// setVolume and isOpen is called from one thread; the device plays the ring
// on a thread of its own, and reads the ring only while it is not locked.
class AudioDevice {
 public:
  virtual ~AudioDevice() = default;

  // Opens the device not paused and not yet playing; the played position
  // starts at 0.
  virtual bool open(const WaveFormat& format) = 0;
  // Stops playing, takes the ring back and releases the device.
  virtual void close() = 0;
  virtual bool isOpen() const = 0;

  // Hands over the ring to loop over; it must stay valid until close. Handing
  // it over again while it plays keeps the played position.
  virtual bool prepareLoop(const std::uint8_t* ring, std::uint32_t size) = 0;
  // Starts looping over the prepared ring, unless the device is paused, in
  // which case the loop starts at restart. Starting a running loop does
  // nothing.
  virtual bool startLoop() = 0;

  // Bytes played since the device was opened, wrapping at 2^32.
  virtual bool playedBytes(std::uint32_t& bytes) const = 0;

  virtual bool pause() = 0;
  virtual bool restart() = 0;

  // Left level in the low 16 bits, right level in the high 16 bits.
  virtual void setVolume(std::uint32_t volume) = 0;

  // Bracket every change of the ring's bytes.
  virtual void lockRing() = 0;
  virtual void unlockRing() = 0;
};

}  // namespace marlin
