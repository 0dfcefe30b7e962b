#include "export/channel_output_path.h"

#include "export/container.h"

namespace marlin {

std::string channelOutputPath(const std::string& outputPath, int channelNumber, ChannelNaming naming) {
  const std::string_view extension = fileExtension(outputPath);
  if (naming == ChannelNaming::ChannelAlone) {
    const std::size_t nameStart = outputPath.find_last_of('/') + 1;  // npos + 1 == 0
    return outputPath.substr(0, nameStart) + "CH" + std::to_string(channelNumber) + std::string(extension);
  }
  return outputPath.substr(0, outputPath.size() - extension.size()) + "-CH" + std::to_string(channelNumber) +
         std::string(extension);
}

}  // namespace marlin
