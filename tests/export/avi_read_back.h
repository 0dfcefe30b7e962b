#pragma once

#include <cstdint>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace marlin::exporttest {

struct StreamSeen {
  AVMediaType type = AVMEDIA_TYPE_UNKNOWN;
  AVCodecID codec = AV_CODEC_ID_NONE;
  AVRational timeBase{0, 1};
  AVRational frameRate{0, 1};
  int width = 0;
  int height = 0;
  int channels = 0;
  int sampleRate = 0;
  int blockAlign = 0;
  int packets = 0;
  std::int64_t bytes = 0;
  std::vector<int> packetSizes;
  std::vector<std::int64_t> packetMilliseconds;  // each packet's time
};

// A file as libavformat reads it back: every stream with its packets
// counted, and the first and last picture decoded to top-down B, G, R rows
// of width x 3 bytes.
struct FileSeen {
  bool opened = false;
  std::vector<StreamSeen> streams;
  std::vector<std::uint8_t> firstPicture;
  std::vector<std::uint8_t> lastPicture;

  const StreamSeen* stream(AVMediaType type) const;
};

FileSeen readBack(const std::string& path);

// A smooth picture that lossy coders keep close, different in every frame:
// bottom-up 24-bit rows padded to 4 bytes, as the writer takes them.
std::vector<std::uint8_t> bottomUpGradient(int width, int height, int frame);
// Mean difference per byte between a picture read back (top-down rows of
// width x 3 bytes) and the bottom-up image written; 0 when they are equal.
double meanDifference(const std::vector<std::uint8_t>& shown, const std::vector<std::uint8_t>& bottomUp, int width,
                      int height);

}  // namespace marlin::exporttest
