#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "base/codec_ids.h"

namespace marlin::codec {

// How a codec variant packs channel, quality and the refresh flag into the
// bytes after the picture start code.
enum class HeaderLayout { A, B, C, D };

HeaderLayout headerLayoutOf(CodecVariant variant);

// Bytes from the start code to the first slice: the start code, the fields
// byte, and layout C's sequence number or layout D's second-channel byte.
std::size_t pictureHeaderSize(HeaderLayout layout);

inline constexpr std::size_t kMaxSlices = 20;

struct PictureHeader {
  int channel = 0;
  int quality = 0;
  bool allCoded = false;         // every macroblock of every slice carries all six blocks
  std::uint16_t extraValue = 0;  // layout C: the live stream's picture sequence number
  bool dual = false;             // layout D: two channels side by side
  int firstChannel = 0;
  int secondChannel = 0;
  bool firstHidden = false;
  bool secondHidden = false;
  int width = 0;
  int height = 0;
  std::array<std::uint32_t, kMaxSlices> slices{};  // offset of each slice's first 00 byte
  std::size_t sliceCount = 0;
};

// Parses the header and locates the slices, stopping at a following picture
// or audio start code. Returns the index at which the scan stopped (nonzero)
// or 0 when the payload is not a decodable picture: too short, no picture
// start code, quality 15, or a slice count other than 14 (640x224) or 17
// (640x272). On failure out keeps the fields parsed so far.
std::size_t parsePictureHeader(const std::uint8_t* payload, std::size_t length, HeaderLayout layout,
                               PictureHeader& out);

// Parses the fields of the header alone (what the picture is, of which
// channels) without locating the slices: false when the payload is too
// short, has no picture start code or has quality 15. The size and the
// slices of out are left as they were.
bool parsePictureFields(const std::uint8_t* payload, std::size_t length, HeaderLayout layout, PictureHeader& out);

// The quality field holds four bits, and 15 is not a quality.
inline constexpr int kHighestQuality = 14;

}  // namespace marlin::codec
