#pragma once

#include <cstdint>

namespace marlin {

// A recorder's sound codecs, numbered as the recording's settings name them.
inline constexpr int kAudioUnsigned8 = 1;
inline constexpr int kAudioSigned8 = 2;
inline constexpr int kAudioUnsigned16 = 3;
inline constexpr int kAudioSigned16 = 4;
inline constexpr int kAudioALaw = 5;
inline constexpr int kAudioMuLaw = 6;

// Turns length bytes of one codec's sound into mono PCM: a copy for the PCM
// codecs, signed 8-bit made unsigned, A-law and µ-law expanded to 16-bit
// little-endian samples (2 x length bytes). Returns the bytes written to out;
// 0 for an unknown codec. Shared by playback and export, so that a file
// sounds as the player does.
std::uint32_t convertAudioToPcm(int codec, const std::uint8_t* data, std::uint32_t length, std::uint8_t* out);

}  // namespace marlin
