#include "export/avi_header_patch.h"

#include <cstring>
#include <fstream>
#include <vector>

namespace marlin {

namespace {

// The header lists of an AVI file come first and are a few kilobytes long.
constexpr std::uint32_t kLargestHeaderList = 1 << 20;
// Offset of biSizeImage within a bitmap header.
constexpr std::size_t kImageSizeOffset = 20;

std::uint32_t le32(const std::uint8_t* bytes) {
  return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

bool isTag(const std::uint8_t* bytes, const char* tag) { return std::memcmp(bytes, tag, 4) == 0; }

Status badFile(const std::string& path, const char* what) {
  return Status::failure(StatusCode::BadData, path + ": " + what);
}

// Offset, within hdrl's contents, of the first video stream's bitmap image
// size; 0 when there is none. Chunks are padded to even sizes.
std::size_t findVideoImageSize(const std::vector<std::uint8_t>& list) {
  for (std::size_t at = 4; at + 8 <= list.size();) {
    const std::uint32_t size = le32(&list[at + 4]);
    const std::size_t end = at + 8 + size;
    if (end > list.size()) return 0;
    if (isTag(&list[at], "LIST") && size >= 4 && isTag(&list[at + 8], "strl")) {
      bool video = false;
      for (std::size_t inner = at + 12; inner + 8 <= end;) {
        const std::uint32_t innerSize = le32(&list[inner + 4]);
        if (inner + 8 + innerSize > end) return 0;
        if (isTag(&list[inner], "strh") && innerSize >= 4) video = isTag(&list[inner + 8], "vids");
        if (isTag(&list[inner], "strf") && video && innerSize >= kImageSizeOffset + 4) {
          return inner + 8 + kImageSizeOffset;
        }
        inner += 8 + innerSize + (innerSize & 1);
      }
    }
    at = end + (size & 1);
  }
  return 0;
}

}  // namespace

Status setVideoImageSize(const std::string& path, std::uint32_t imageSize) {
  std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
  if (!file) return Status::failure(StatusCode::IoError, "cannot reopen " + path + " to finish its header");
  std::uint8_t heads[24] = {};
  if (!file.read(reinterpret_cast<char*>(heads), sizeof heads)) return badFile(path, "too short for an AVI file");
  if (!isTag(heads, "RIFF") || !isTag(heads + 8, "AVI ") || !isTag(heads + 12, "LIST")) {
    return badFile(path, "not an AVI file");
  }
  const std::uint32_t listSize = le32(heads + 16);
  if (!isTag(heads + 20, "hdrl") || listSize > kLargestHeaderList) return badFile(path, "no header list first");
  constexpr std::streamoff kListContents = 20;
  std::vector<std::uint8_t> list(listSize);
  file.seekg(kListContents);
  if (!file.read(reinterpret_cast<char*>(list.data()), listSize)) return badFile(path, "header list cut short");
  const std::size_t offset = findVideoImageSize(list);
  if (offset == 0) return badFile(path, "no video stream header");
  std::uint8_t bytes[4];
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<std::uint8_t>(imageSize >> (8 * i));
  file.seekp(kListContents + static_cast<std::streamoff>(offset));
  if (!file.write(reinterpret_cast<const char*>(bytes), sizeof bytes) || !file.flush()) {
    return Status::failure(StatusCode::IoError, "cannot rewrite the header of " + path);
  }
  return Status::ok();
}

}  // namespace marlin
