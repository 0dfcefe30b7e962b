#include "engine/audio/audio_output.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "codec/g711.h"

namespace marlin {

class AudioOutput::RingLock {
 public:
  explicit RingLock(AudioDevice& device) : device_(device) { device_.lockRing(); }
  ~RingLock() { device_.unlockRing(); }
  RingLock(const RingLock&) = delete;
  RingLock& operator=(const RingLock&) = delete;

 private:
  AudioDevice& device_;
};

AudioOutput::AudioOutput(AudioDevice& device, MessageSink& messages)
    : device_(device), messages_(messages), ring_(new (std::nothrow) std::uint8_t[kRingSize]()) {
  if (!ring_) {
    messages_.showMessage("m_pWavQ Allocation Failed", "");
  }
}

AudioOutput::~AudioOutput() { close(); }

std::span<const std::uint8_t> AudioOutput::ring() const {
  return ring_ ? std::span<const std::uint8_t>(ring_.get(), kRingSize) : std::span<const std::uint8_t>();
}

void AudioOutput::clearRing() {
  if (ring_) {
    RingLock lock(device_);
    std::memset(ring_.get(), 0, kRingSize);
  }
}

int AudioOutput::open(const WaveFormat& format) {
  written_ = 0;
  writeOffset_ = 0;
  queued_ = 0;
  // The device from the last open may still be looping over the ring.
  clearRing();
  resync_ = true;
  format_ = format;
  close();
  if (!device_.open(format)) {
    messages_.showMessage("Sound device open error !", "");
    return 0;
  }
  sampleRate_ = format.samplesPerSec;
  bitsPerSample_ = format.bitsPerSample;
  return 1;
}

int AudioOutput::startLoop() {
  if (!device_.isOpen()) {
    return 1;
  }
  clearRing();
  if (!device_.prepareLoop(ring_.get(), kRingSize)) {
    messages_.showMessage("Preapre Header Error !", "");
    return 0;
  }
  if (!device_.startLoop()) {
    messages_.showMessage("Sound out fail !", "");
    return 0;
  }
  return 1;
}

// 16-bit samples must not be split, so the position is taken back to a
// sample boundary.
bool AudioOutput::readPlayed(bool wholeSamples, std::uint32_t& played) {
  positionFailed_ = !device_.playedBytes(played);
  if (positionFailed_) {
    return false;
  }
  if (wholeSamples) {
    played &= ~1U;
  }
  return true;
}

bool AudioOutput::hasRoomFor(std::uint64_t bytes, bool wholeSamples) {
  std::uint32_t played = 0;
  if (!ring_ || !readPlayed(wholeSamples, played)) {
    return false;
  }
  queued_ = written_ < played ? 0 : written_ - played;
  return queued_ + bytes + kMargin <= kRingSize;
}

int AudioOutput::writePcm(const std::uint8_t* data, std::uint32_t length) {
  if (!hasRoomFor(length, roundsToSamples())) {
    return 0;
  }
  const std::uint32_t head = std::min(length, kRingSize - writeOffset_);
  {
    RingLock lock(device_);
    std::memcpy(ring_.get() + writeOffset_, data, head);
    std::memcpy(ring_.get(), data + head, length - head);
  }
  writeOffset_ = (writeOffset_ + length) % kRingSize;
  written_ += length;
  return 1;
}

int AudioOutput::writeALaw(const std::uint8_t* data, std::uint32_t length) {
  if (!hasRoomFor(2 * std::uint64_t{length}, true)) {
    return 0;
  }
  RingLock lock(device_);
  for (std::uint32_t i = 0; i < length; ++i) {
    const auto sample = static_cast<std::uint16_t>(alawToLinear(data[i]));
    ring_[writeOffset_] = static_cast<std::uint8_t>(sample);
    ring_[(writeOffset_ + 1) % kRingSize] = static_cast<std::uint8_t>(sample >> 8);
    written_ += 2;
    writeOffset_ = written_ % kRingSize;
  }
  return 1;
}

void AudioOutput::service() {
  std::uint32_t played = 0;
  if (!readPlayed(roundsToSamples(), played)) {
    return;
  }
  if (written_ < played) {
    queued_ = 0;
    written_ = played;
  } else {
    queued_ = written_ - played;
  }
  if (queued_ < kMargin && !paused_) {
    if (!device_.pause()) {
      return;
    }
    if (readPlayed(roundsToSamples(), played) && resync_) {
      written_ = played;
      resync_ = false;
    }
    paused_ = true;
  }
  if (queued_ >= kMargin && paused_ && device_.restart()) {
    paused_ = false;
  }
}

void AudioOutput::setVolume(std::uint32_t volume) {
  const std::uint32_t bothChannels = (volume & 0xFFFF) * 0x10001U;
  volume_ = bothChannels;
  if (!mute_ && device_.isOpen()) {
    device_.setVolume(bothChannels);
  }
}

std::uint32_t AudioOutput::getVolume() const { return volume_ & 0xFFFF; }

void AudioOutput::setMute(bool on) {
  mute_ = on;
  if (device_.isOpen()) {
    device_.setVolume(on ? 0 : volume_.load());
  }
}

bool AudioOutput::getMute() const { return mute_; }

void AudioOutput::close() {
  if (device_.isOpen()) {
    device_.pause();
    device_.close();
  }
}

bool AudioOutput::isOpen() const { return device_.isOpen(); }

}  // namespace marlin
