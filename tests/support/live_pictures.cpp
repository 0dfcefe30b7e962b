#include "support/live_pictures.h"

#include <algorithm>

#include "base/codec_ids.h"
#include "codec/encoder/video_encoder.h"
#include "codec/yuv_picture.h"

namespace marlin::testing {

std::vector<std::vector<std::uint8_t>> livePictures(int count) {
  encoder::VideoEncoder encoder;
  YuvPicture picture;
  picture.resize(640, 224);
  std::vector<std::vector<std::uint8_t>> pictures;
  for (int i = 0; i < count; ++i) {
    for (int y = 0; y < picture.height; ++y) {
      for (int x = 0; x < picture.width; ++x) {
        picture.y()[y * picture.width + x] = static_cast<std::uint8_t>(x / 4 + y + 8 * i);
      }
    }
    std::fill(picture.cb(), picture.data.data() + picture.data.size(), 128);
    encoder::EncodeParams params;
    params.variant = kLiveStreamVariant;
    params.refresh = i == 0;
    params.sequence = static_cast<std::uint16_t>(i + 1);
    pictures.push_back(encoder.encode(picture, params));
  }
  return pictures;
}

}  // namespace marlin::testing
