#pragma once

#include <optional>
#include <string>

#include "codec/picture_header.h"
#include "recognition/block_evidence.h"

namespace marlin {

// The most pictures looked at: enough that a layout which merely happens to
// parse one picture is outvoted, few enough to decode in a blink.
inline constexpr int kPicturesExamined = 12;

// The picture-header layout under which the first pictures of the recording
// at path parse and decode consistently; nothing when no layout does clearly
// better than the others. Reads all of path when it holds fewer pictures.
std::optional<codec::HeaderLayout> recognisePictureLayout(const std::string& path, BlockByteOrder byteOrder,
                                                          HeaderByteOrder headerOrder);

}  // namespace marlin
