#pragma once

#include <string>

namespace marlin {

// How an export names its channels' files.
enum class ChannelNaming {
  // "-CH<n>" inserted before the extension of the output's file name
  // (fileExtension), or appended when it has none: /clips/rec.avi ->
  // /clips/rec-CH3.avi, /clips/rec -> /clips/rec-CH3.
  BesideName,
  // "CH<n>" and the output's extension, in the output's folder:
  // /case/CH.mp4 -> /case/CH3.mp4.
  ChannelAlone,
};

// The file of channel channelNumber (1..16).
std::string channelOutputPath(const std::string& outputPath, int channelNumber,
                              ChannelNaming naming = ChannelNaming::BesideName);

}  // namespace marlin
