#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "base/status.h"

namespace marlin {

// The file format a writer produces, named by the output's extension.
enum class Container { Avi, Mp4, Matroska };

// The extension of the path's file name, from its last dot; nothing when the
// file name has no dot (a dot in a folder's name is no extension).
std::string_view fileExtension(const std::string& path);
// The container the extension names (letter case ignored): .avi, .mp4,
// .mkv; none for any other extension or none at all.
std::optional<Container> containerOf(const std::string& path);
// The refusal of an output name whose extension names no container, naming
// the ones that do.
Status unknownContainer(const std::string& path);
// ".avi" added to a file name without an extension; any other name as it is.
std::string withDefaultExtension(const std::string& path);
// FFmpeg's name of the container's muxer.
const char* ffmpegMuxerName(Container container);

}  // namespace marlin
