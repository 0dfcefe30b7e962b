#pragma once

#include <cstdint>
#include <functional>

#include "codec/video_decoder.h"
#include "render/split_layout.h"
#include "source/stream_source.h"

namespace marlin {

// A stretch of a recording whose conditional pictures decode cleanly: it
// begins at the last refresh picture of each channel wanted before a
// position, since a conditional picture only codes what changed since the
// picture before it. Both the pictures after a jump and the pictures of
// backward play are decoded forward over such a stretch.

struct RefreshSearchLimits {
  std::uint64_t bytes;
  std::uint32_t seconds;
};

// How far back a refresh picture is looked for: past either limit a channel
// shows nothing until its next refresh picture.
inline constexpr RefreshSearchLimits kRefreshSearchLimits{4u << 20, 5};

struct RefreshStart {
  std::uint64_t position;  // where the earliest of the refresh pictures found begins
  ChannelSet found;        // the channels with a refresh picture within the limits
};

// The start of the first frame that begins at or after position (the size
// of the recording when none does): where forward reading from position goes
// on, and so the boundary that priming and backward play decode up to.
std::uint64_t nextFrameStart(StreamSource& source, std::uint64_t position);

// Reads backward from boundary (a frame's start, or the size) to the last
// refresh picture before it of each of channels, within limits. position is
// boundary when none was found. The read position is left wherever the
// search stopped.
RefreshStart findRefreshStart(StreamSource& source, VideoDecoder& decoder, std::uint8_t* frame, ChannelSet channels,
                              std::uint64_t boundary, const RefreshSearchLimits& limits = kRefreshSearchLimits);

// Called with each picture read, parsed by the decoder; the source's header
// tells where it begins and its block's time.
using ParsedPictureVisitor = std::function<void(const std::uint8_t* frame, std::uint32_t length)>;

// Reads forward from start and hands visit each picture of channels that
// begins before end, in reading order. The read position is left past the
// last frame read.
void visitPicturesForward(StreamSource& source, VideoDecoder& decoder, std::uint8_t* frame, ChannelSet channels,
                          std::uint64_t start, std::uint64_t end, const ParsedPictureVisitor& visit);

// Puts the read position back to position, the end of the recording included.
void returnTo(StreamSource& source, std::uint64_t position);

}  // namespace marlin
