#include "platform/sdl_audio_device.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <type_traits>

#include "base/log.h"
#include "platform/sdl_functions.h"

namespace marlin {

static_assert(std::is_same_v<SDL_AudioDeviceID, std::uint32_t>);

namespace {

// Samples per callback: small, so that the played position moves in fine
// steps and pausing leaves little in flight.
constexpr Uint16 kCallbackSamples = 256;

// Points SDL at its dummy driver while it lives; afterwards the driver
// configured in the environment applies again.
class DummyDriverChoice {
 public:
  DummyDriverChoice() { sdl().SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE); }
  ~DummyDriverChoice() { sdl().SDL_ResetHint(SDL_HINT_AUDIODRIVER); }
  DummyDriverChoice(const DummyDriverChoice&) = delete;
  DummyDriverChoice& operator=(const DummyDriverChoice&) = delete;
};

// Whether this machine has anything to play sound on: a sound server's
// socket or an ALSA playback device. Without one SDL would still try each
// driver in turn, and ALSA reports its failure with a screenful of errors.
bool soundOutputPresent() {
  if (std::getenv("PULSE_SERVER") != nullptr) {
    return true;
  }
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR")) {
    for (const char* socket : {"pulse/native", "pipewire-0"}) {
      if (std::filesystem::exists(std::filesystem::path(runtime) / socket)) {
        return true;
      }
    }
  }
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/dev/snd", error)) {
    const std::string name = entry.path().filename().string();
    if (name.starts_with("pcmC") && name.ends_with("p")) {
      return true;
    }
  }
  return false;
}

}  // namespace

void scaleToVolume(std::uint8_t* samples, std::uint32_t length, std::uint16_t bitsPerSample, std::uint32_t volume) {
  const auto gain = static_cast<std::int32_t>(volume & 0xFFFF);
  if (bitsPerSample == 8) {
    for (std::uint32_t i = 0; i < length; ++i) {
      samples[i] = static_cast<std::uint8_t>(128 + (samples[i] - 128) * gain / 0xFFFF);
    }
    return;
  }
  for (std::uint32_t i = 0; i + 1 < length; i += 2) {
    const auto sample = static_cast<std::int16_t>(samples[i] | samples[i + 1] << 8);
    const auto scaled = static_cast<std::uint16_t>(sample * gain / 0xFFFF);
    samples[i] = static_cast<std::uint8_t>(scaled);
    samples[i + 1] = static_cast<std::uint8_t>(scaled >> 8);
  }
}

SdlAudioDevice::SdlAudioDevice(bool fallBackToDummy) : fallBackToDummy_(fallBackToDummy) {}

SdlAudioDevice::~SdlAudioDevice() { close(); }

bool SdlAudioDevice::open(const WaveFormat& format) {
  close();
  if (format.channels != 1 || (format.bitsPerSample != 8 && format.bitsPerSample != 16) || format.samplesPerSec == 0) {
    return false;
  }
  if (Status loaded = Sdl::load(); !loaded) {
    logWarning("sound: SDL cannot be loaded: " + loaded.message());
    return false;
  }
  bitsPerSample_ = format.bitsPerSample;
  consumed_ = 0;
  const bool driverChosen = std::getenv("SDL_AUDIODRIVER") != nullptr;
  const bool tryConfigured = driverChosen || !fallBackToDummy_ || soundOutputPresent();
  if (tryConfigured && openWithConfiguredDriver(format)) {
    return true;
  }
  if (!fallBackToDummy_) {
    return false;
  }
  logInfo(tryConfigured ? "sound: falling back to SDL's dummy driver, which plays nothing"
                        : "sound: no sound output on this machine, using SDL's dummy driver, which plays nothing");
  DummyDriverChoice dummy;
  return openWithConfiguredDriver(format);
}

// Each open device holds one reference to SDL's audio subsystem, so the
// subsystem (and the driver chosen when it started) goes with the last one.
bool SdlAudioDevice::openWithConfiguredDriver(const WaveFormat& format) {
  if (sdl().SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    logWarning(std::string("sound: SDL's audio does not start: ") + sdl().SDL_GetError());
    return false;
  }
  SDL_AudioSpec wanted{};
  wanted.freq = static_cast<int>(format.samplesPerSec);
  wanted.format = format.bitsPerSample == 8 ? AUDIO_U8 : AUDIO_S16LSB;
  wanted.channels = 1;
  wanted.samples = kCallbackSamples;
  wanted.callback = &SdlAudioDevice::feed;
  wanted.userdata = this;
  device_ = sdl().SDL_OpenAudioDevice(nullptr, 0, &wanted, nullptr, 0);
  if (device_ == 0) {
    const char* driver = sdl().SDL_GetCurrentAudioDriver();
    logWarning(std::string("sound: SDL cannot open a device on its ") + (driver != nullptr ? driver : "unknown") +
               " driver: " + sdl().SDL_GetError());
    sdl().SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return false;
  }
  return true;
}

void SdlAudioDevice::close() {
  if (device_ == 0) {
    return;
  }
  sdl().SDL_CloseAudioDevice(device_);
  device_ = 0;
  ring_ = nullptr;
  ringSize_ = 0;
  looping_ = false;
  paused_ = false;
  sdl().SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

bool SdlAudioDevice::isLost() const { return sdl().SDL_GetAudioDeviceStatus(device_) == SDL_AUDIO_STOPPED; }

bool SdlAudioDevice::prepareLoop(const std::uint8_t* ring, std::uint32_t size) {
  if (device_ == 0 || ring == nullptr || !std::has_single_bit(size)) {
    return false;
  }
  lockRing();
  ring_ = ring;
  ringSize_ = size;
  unlockRing();
  return true;
}

bool SdlAudioDevice::startLoop() {
  if (device_ == 0 || ring_ == nullptr || isLost()) {
    return false;
  }
  looping_ = true;
  applyPause();
  return true;
}

bool SdlAudioDevice::playedBytes(std::uint32_t& bytes) const {
  if (device_ == 0 || isLost()) {
    return false;
  }
  bytes = consumed_;
  return true;
}

bool SdlAudioDevice::pause() { return setPaused(true); }

bool SdlAudioDevice::restart() { return setPaused(false); }

bool SdlAudioDevice::setPaused(bool on) {
  if (device_ == 0) {
    return false;
  }
  paused_ = on;
  applyPause();
  return true;
}

// SDL stops calling back while paused, which holds the played position.
void SdlAudioDevice::applyPause() { sdl().SDL_PauseAudioDevice(device_, looping_ && !paused_ ? 0 : 1); }

void SdlAudioDevice::lockRing() {
  if (device_ != 0) {
    sdl().SDL_LockAudioDevice(device_);
  }
}

void SdlAudioDevice::unlockRing() {
  if (device_ != 0) {
    sdl().SDL_UnlockAudioDevice(device_);
  }
}

void SdlAudioDevice::feed(void* self, std::uint8_t* stream, int length) {
  static_cast<SdlAudioDevice*>(self)->play(stream, static_cast<std::uint32_t>(length));
}

void SdlAudioDevice::play(std::uint8_t* stream, std::uint32_t length) {
  std::uint32_t at = consumed_.load(std::memory_order_relaxed) & (ringSize_ - 1);
  for (std::uint32_t done = 0; done < length;) {
    const std::uint32_t part = std::min(length - done, ringSize_ - at);
    std::memcpy(stream + done, ring_ + at, part);
    done += part;
    at = (at + part) & (ringSize_ - 1);
  }
  scaleToVolume(stream, length, bitsPerSample_, volume_.load(std::memory_order_relaxed));
  consumed_.fetch_add(length, std::memory_order_relaxed);
}

}  // namespace marlin
