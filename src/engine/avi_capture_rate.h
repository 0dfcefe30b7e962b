#pragma once

#include <cstdint>

#include "base/codec_ids.h"

namespace marlin {

// Frames a second of a capture in Player mode: what the recording shows of
// each channel on screen, at most the display's rate (25 for fields of 272
// lines, else 30). channelMask and frameInterval are those of the last block read.
int playerCaptureRate(CodecVariant variant, int fieldHeight, std::uint16_t channelMask, int frameInterval);

// Frames a second of a capture in Client mode: the display's rate, and 25
// whenever the frame is refreshed on request.
int liveCaptureRate(int fieldHeight, int captureMode);

}  // namespace marlin
