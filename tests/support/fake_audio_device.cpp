#include "support/fake_audio_device.h"

namespace marlin::testing {

bool FakeAudioDevice::open(const WaveFormat& format) {
  if (beforeOpen) {
    beforeOpen();
  }
  ++openCount;
  lastFormat = format;
  opened = openSucceeds.load();
  paused = false;
  return opened;
}

void FakeAudioDevice::close() {
  ++closeCount;
  opened = false;
  looping = false;
  ring = nullptr;
}

bool FakeAudioDevice::prepareLoop(const std::uint8_t* loopRing, std::uint32_t size) {
  if (!prepareSucceeds || loopRing == nullptr || size == 0) {
    return false;
  }
  ring = loopRing;
  return true;
}

bool FakeAudioDevice::startLoop() {
  looping = startSucceeds && ring != nullptr;
  return looping;
}

bool FakeAudioDevice::playedBytes(std::uint32_t& bytes) const {
  if (positionFails) {
    return false;
  }
  bytes = position;
  return true;
}

bool FakeAudioDevice::pause() {
  ++pauseCount;
  if (pauseSucceeds) {
    paused = true;
  }
  return pauseSucceeds;
}

bool FakeAudioDevice::restart() {
  ++restartCount;
  if (restartSucceeds) {
    paused = false;
  }
  return restartSucceeds;
}

void FakeAudioDevice::setVolume(std::uint32_t volume) {
  ++volumeCount;
  lastVolume = volume;
}

}  // namespace marlin::testing
