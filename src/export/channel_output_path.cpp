#include "export/channel_output_path.h"

#include "export/container.h"

namespace marlin {

std::string channelOutputPath(const std::string& outputPath, int channelNumber) {
  const std::string_view extension = fileExtension(outputPath);
  return outputPath.substr(0, outputPath.size() - extension.size()) + "-CH" + std::to_string(channelNumber) +
         std::string(extension);
}

}  // namespace marlin
