#include "export/compression.h"

#include "export/ffmpeg_codec.h"

namespace marlin {

std::vector<VideoCodec> offeredVideoCodecs() {
  std::vector<VideoCodec> offered{VideoCodec::Uncompressed};
  for (VideoCodec codec : {VideoCodec::Mjpeg, VideoCodec::Mpeg4, VideoCodec::Ffv1, VideoCodec::H264}) {
    if (findVideoEncoder(codec) != nullptr) offered.push_back(codec);
  }
  return offered;
}

std::string compressorDescription(VideoCodec codec) {
  const AVCodec* encoder = findVideoEncoder(codec);
  return encoder != nullptr && encoder->long_name != nullptr ? encoder->long_name : "";
}

}  // namespace marlin
