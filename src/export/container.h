#pragma once

#include <string>

namespace marlin {

// The file format a writer produces, chosen by the output's extension
// (letter case ignored): .mp4 and .mkv, AVI for anything else.
enum class Container { Avi, Mp4, Matroska };

Container containerOf(const std::string& path);
// FFmpeg's name of the container's muxer.
const char* ffmpegMuxerName(Container container);

}  // namespace marlin
