#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace marlin {

// The audio channels whose sound an export counts and routes.
inline constexpr int kSoundChannels = 4;

// The bytes of sound a recording carries on each audio channel.
using SoundBytesPerChannel = std::array<std::uint64_t, kSoundChannels>;

// The audio channel whose sound goes into the file of camera (0..15), told
// from the sound the recording carries, whatever recorder it came from:
// sound on audio channel 0 alone is the recorder's one microphone, which
// every camera's file gets; sound on other channels is a microphone per
// camera, audio channel n beside camera n + 1, and a camera without sound of
// its own gets none. A file never carries two channels mixed.
std::optional<std::uint32_t> soundChannelOfCamera(int camera, const SoundBytesPerChannel& carried);

}  // namespace marlin
