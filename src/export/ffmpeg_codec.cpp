#include "export/ffmpeg_codec.h"

#include "export/ffmpeg_functions.h"

namespace marlin {

AVCodecID ffmpegCodecId(VideoCodec codec) {
  switch (codec) {
    case VideoCodec::Uncompressed:
      return AV_CODEC_ID_RAWVIDEO;
    case VideoCodec::Mjpeg:
      return AV_CODEC_ID_MJPEG;
    case VideoCodec::Mpeg4:
      return AV_CODEC_ID_MPEG4;
    case VideoCodec::Ffv1:
      return AV_CODEC_ID_FFV1;
    case VideoCodec::H264:
      return AV_CODEC_ID_H264;
  }
  return AV_CODEC_ID_NONE;
}

const AVCodec* findVideoEncoder(VideoCodec codec) {
  if (codec == VideoCodec::Uncompressed || !Ffmpeg::load()) return nullptr;
  return av().avcodec_find_encoder(ffmpegCodecId(codec));
}

}  // namespace marlin
