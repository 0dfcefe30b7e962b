#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace marlin {

// Video codec number 0-6: chooses the picture-header layout and the
// container's header byte order (6 = big-endian).
using CodecVariant = int;
// Audio sample format 1-6, 0 = none.
using AudioCodecId = int;

inline constexpr CodecVariant kVariantQk4 = 0;
inline constexpr CodecVariant kVariantQk9 = 1;
inline constexpr CodecVariant kVariantQkn = 2;
inline constexpr CodecVariant kVariantQkt = 3;
inline constexpr CodecVariant kVariantQkt2 = 4;
inline constexpr CodecVariant kVariantQkt3 = 5;
inline constexpr CodecVariant kVariantQkc = 6;
inline constexpr int kVariantCount = 7;
// DVRs send their live pictures in the QKN header layout, whatever they record in.
inline constexpr CodecVariant kLiveStreamVariant = kVariantQkn;

inline constexpr std::array<std::string_view, kVariantCount> kVideoCodecNames = {
    "QK_QK4", "QK_QK9", "QK_QKN", "QK_QKT", "QK_QKT2", "QK_QKT3", "QK_QKC"};
inline constexpr std::array<std::string_view, 6> kAudioCodecNames = {"QK_UPCM8",  "QK_SPCM8", "QK_UPCM16",
                                                                     "QK_SPCM16", "QK_ALAW",  "QK_MLAW"};

// The container's block headers are big-endian.
constexpr bool isBigEndianVariant(CodecVariant variant) { return variant == kVariantQkc; }
// The recorder stores its sound as A-law bytes, whatever audio codec is configured.
constexpr bool recordsALawAudio(CodecVariant variant) {
  return variant != kVariantQkt2 && variant != kVariantQkt3 && variant != kVariantQkc;
}
// One audio channel per camera: only the channel of the camera heard is played.
constexpr bool carriesAudioPerCamera(CodecVariant variant) { return variant == kVariantQkt3 || variant == kVariantQkc; }

// The DVR model this build serves.
inline constexpr std::string_view kBuildVideoCodecName = "QK_QKT2";
inline constexpr std::string_view kBuildAudioCodecName = "QK_UPCM8";
inline constexpr int kBuildChannelCount = 4;
inline constexpr int kBuildSampleRate = 8000;

// Name to number; nothing for a name not in the tables.
std::optional<CodecVariant> findCodecVariant(std::string_view name);
std::optional<AudioCodecId> findAudioCodecId(std::string_view name);

}  // namespace marlin
