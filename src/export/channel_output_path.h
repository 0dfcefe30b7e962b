#pragma once

#include <string>

namespace marlin {

// The file one channel of an export goes to: "-CH<channelNumber>" (1..16)
// inserted before the extension of outputPath's file name (fileExtension),
// or appended when the file name has none: /clips/rec.avi ->
// /clips/rec-CH3.avi, /clips/rec -> /clips/rec-CH3.
std::string channelOutputPath(const std::string& outputPath, int channelNumber);

}  // namespace marlin
