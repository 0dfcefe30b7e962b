#pragma once

#include "export/compression.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace marlin {

AVCodecID ffmpegCodecId(VideoCodec codec);
// The encoder FFmpeg picks for the codec; nullptr for uncompressed video, for
// codecs this build cannot write and when FFmpeg cannot be loaded.
const AVCodec* findVideoEncoder(VideoCodec codec);

}  // namespace marlin
