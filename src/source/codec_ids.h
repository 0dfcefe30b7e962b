#pragma once

#include <array>
#include <string_view>

#include "platform/message_sink.h"

namespace marlin {

// Video codec number 0-6: chooses the picture-header layout and the
// container's header byte order (6 = big-endian).
using CodecVariant = int;
// Audio sample format 1-6, 0 = none.
using AudioCodecId = int;

inline constexpr std::array<std::string_view, 7> kVideoCodecNames = {
    "QK_QK4", "QK_QK9", "QK_QKN", "QK_QKT", "QK_QKT2", "QK_QKT3", "QK_QKC"};
inline constexpr std::array<std::string_view, 6> kAudioCodecNames = {
    "QK_UPCM8", "QK_SPCM8", "QK_UPCM16", "QK_SPCM16", "QK_ALAW", "QK_MLAW"};

inline constexpr CodecVariant kBigEndianVariant = 6;
inline constexpr int kVariantCount = 7;

// The DVR model this build serves.
inline constexpr std::string_view kBuildVideoCodecName = "QK_QKT2";
inline constexpr std::string_view kBuildAudioCodecName = "QK_UPCM8";
inline constexpr int kBuildChannelCount = 4;
inline constexpr int kBuildSampleRate = 8000;

// Name to number; an unknown name is reported through sink and gives 0.
CodecVariant resolveCodecVariant(std::string_view name, MessageSink& sink);
AudioCodecId resolveAudioCodecId(std::string_view name, MessageSink& sink);

}  // namespace marlin
