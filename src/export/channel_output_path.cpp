#include "export/channel_output_path.h"

namespace marlin {

std::string channelOutputPath(const std::string& outputPath, int channelNumber) {
  const std::string tag = "-CH" + std::to_string(channelNumber);
  // Only a dot in the file name starts an extension: one in a folder name
  // (/clips.old/rec) must not split the folder.
  const std::size_t nameStart = outputPath.find_last_of('/') + 1;  // npos + 1 == 0
  const std::size_t dot = outputPath.find_last_of('.');
  if (dot == std::string::npos || dot < nameStart) {
    return outputPath + tag;
  }
  return outputPath.substr(0, dot) + tag + outputPath.substr(dot);
}

}  // namespace marlin
