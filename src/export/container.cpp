#include "export/container.h"

#include <algorithm>
#include <cctype>

namespace marlin {

namespace {

bool sameLetters(std::string_view extension, std::string_view wanted) {
  return std::equal(extension.begin(), extension.end(), wanted.begin(), wanted.end(),
                    [](char seen, char letter) { return std::tolower(static_cast<unsigned char>(seen)) == letter; });
}

}  // namespace

std::string_view fileExtension(const std::string& path) {
  const std::size_t nameStart = path.find_last_of('/') + 1;  // npos + 1 == 0
  const std::size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || dot < nameStart) return {};
  return std::string_view(path).substr(dot);
}

std::optional<Container> containerOf(const std::string& path) {
  const std::string_view extension = fileExtension(path);
  if (sameLetters(extension, ".avi")) return Container::Avi;
  if (sameLetters(extension, ".mp4")) return Container::Mp4;
  if (sameLetters(extension, ".mkv")) return Container::Matroska;
  return std::nullopt;
}

Status unknownContainer(const std::string& path) {
  return Status::failure(StatusCode::Unsupported, path + ": unknown extension \"" + std::string(fileExtension(path)) +
                                                      "\"; the files written are .avi, .mkv and .mp4");
}

std::string withDefaultExtension(const std::string& path) { return fileExtension(path).empty() ? path + ".avi" : path; }

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
