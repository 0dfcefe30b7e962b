#pragma once

#include <cstddef>
#include <cstdint>

// Constants of the ".QKV" recording container: 4096-byte blocks, each an
// 8-byte header and 4088 payload bytes; frames begin with 00 00 01 S.
namespace marlin::container {

inline constexpr std::size_t kBlockSize = 4096;
inline constexpr std::size_t kHeaderSize = 8;
inline constexpr std::size_t kPayloadSize = kBlockSize - kHeaderSize;

// The most bytes a reader keeps of one frame.
inline constexpr std::size_t kFrameBufferSize = 131072;

inline constexpr std::uint8_t kVideoId = 0xF8;
inline constexpr std::uint8_t kRefreshVideoId = 0xF9;
inline constexpr std::uint8_t kFirstAudioId = 0xFA;
inline constexpr std::uint8_t kLastAudioId = 0xFD;

// Bytes an audio frame carries before its samples: start code and two bytes
// that readers skip.
inline constexpr std::size_t kAudioHeadSize = 6;

inline constexpr bool isFrameId(std::uint8_t id) { return id >= kVideoId && id <= kLastAudioId; }
inline constexpr bool isAudioId(std::uint8_t id) { return id >= kFirstAudioId && id <= kLastAudioId; }

inline constexpr std::uint64_t blockStartOf(std::uint64_t position) { return position - position % kBlockSize; }

}  // namespace marlin::container
