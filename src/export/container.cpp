#include "export/container.h"

#include <algorithm>
#include <cctype>

namespace marlin {

namespace {

bool endsWith(const std::string& path, const std::string& extension) {
  if (path.size() < extension.size()) return false;
  return std::equal(extension.rbegin(), extension.rend(), path.rbegin(), [](char wanted, char seen) {
    return wanted == std::tolower(static_cast<unsigned char>(seen));
  });
}

}  // namespace

Container containerOf(const std::string& path) {
  if (endsWith(path, ".mp4")) return Container::Mp4;
  if (endsWith(path, ".mkv")) return Container::Matroska;
  return Container::Avi;
}

const char* ffmpegMuxerName(Container container) {
  switch (container) {
    case Container::Mp4:
      return "mp4";
    case Container::Matroska:
      return "matroska";
    case Container::Avi:
      break;
  }
  return "avi";
}

}  // namespace marlin
