#pragma once

#include <cstdint>
#include <vector>

#include "codec/yuv_picture.h"

namespace marlin::exporttest {

struct PictureRecordingOptions {
  unsigned channels = 2;
  unsigned picturesPerChannel = 6;
  // Sound frames of this many 8-bit samples on sound channels 0 and 1 (0
  // alone with oneMicrophone) after every round of pictures; 0: none.
  // Channel 1's are half as long.
  unsigned soundSamples = 0;
  bool oneMicrophone = false;
  // Pictures of the last channel alone before the rounds begin.
  unsigned leadingPicturesOfLastChannel = 0;
  std::uint32_t startTime = 1262347200;  // 2010-01-01 12:00:00 UTC
  // Seconds of block time between two rounds of pictures.
  std::uint32_t secondsPerRound = 1;
};

// A recording of decodable pictures (640 x 224 fields, variant 4, refresh
// pictures only) of the channels in turn, each picture a smooth pattern
// unique to its channel and index, with no pure white in it.
struct PictureRecording {
  std::vector<std::uint8_t> bytes;
  // The coded pictures of each channel in recording order, and the byte
  // positions where each begins and ends.
  std::vector<std::vector<std::vector<std::uint8_t>>> coded;
  std::vector<std::vector<std::uint64_t>> begins;
  std::vector<std::vector<std::uint64_t>> ends;
  std::uint64_t soundBytes[2] = {0, 0};
};

PictureRecording makePictureRecording(const PictureRecordingOptions& options);

// What the export should show for a coded picture: decoded, and counted in
// bottom-up rows, row i the field's row i / 2 when i is even or the top row,
// otherwise the rounded-down average of the field's rows i / 2 and i / 2 + 1;
// as top-down B, G, R rows of width x 3 bytes; the size in width and height.
std::vector<std::uint8_t> expectedFullPicture(const std::vector<std::uint8_t>& coded, int& width, int& height);

}  // namespace marlin::exporttest
