#include "codec/yuv_picture.h"

#include <cstring>

namespace marlin {

void splitDualPicture(const std::uint8_t* picture, int width, int height, YuvPicture& left, YuvPicture& right) {
  const int half = width / 2;
  left.resize(half, height);
  right.resize(half, height);
  const auto splitPlane = [](const std::uint8_t* source, int planeWidth, int rows, std::uint8_t* a, std::uint8_t* b) {
    const int halfWidth = planeWidth / 2;
    for (int row = 0; row < rows; ++row) {
      std::memcpy(a + static_cast<std::size_t>(row) * halfWidth, source + static_cast<std::size_t>(row) * planeWidth,
                  halfWidth);
      std::memcpy(b + static_cast<std::size_t>(row) * halfWidth,
                  source + static_cast<std::size_t>(row) * planeWidth + halfWidth, halfWidth);
    }
  };
  const std::size_t lumaSize = static_cast<std::size_t>(width) * height;
  splitPlane(picture, width, height, left.y(), right.y());
  splitPlane(picture + lumaSize, width / 2, height / 2, left.cb(), right.cb());
  splitPlane(picture + lumaSize + lumaSize / 4, width / 2, height / 2, left.cr(), right.cr());
}

const YuvPicture* PictureStore::decode(VideoDecoder& decoder, const std::uint8_t* payload, std::size_t length) {
  if (decoder.ParseHeader(payload, length) == 0) {
    return nullptr;
  }
  return decodeParsed(decoder, payload, length);
}

std::size_t PictureStore::slotOf(const codec::PictureHeader& header) {
  return static_cast<std::size_t>(header.channel & 0x0F) + (header.dual ? 16 : 0);
}

const YuvPicture* PictureStore::decodeParsed(VideoDecoder& decoder, const std::uint8_t* payload, std::size_t length) {
  const codec::PictureHeader& header = decoder.header();
  const std::size_t slot = slotOf(header);
  YuvPicture& picture = pictures_[slot];
  const bool sameSize = picture.width == header.width && picture.height == header.height;
  if (!header.allCoded && !(valid_[slot] && sameSize)) {
    return nullptr;
  }
  if (!sameSize) {
    // A refresh picture codes every sample.
    picture.resize(header.width, header.height);
  }
  valid_[slot] = decoder.Decode(payload, length, picture.data.data()) == 1;
  return valid_[slot] ? &picture : nullptr;
}

void PictureStore::clear() {
  for (YuvPicture& picture : pictures_) {
    picture = YuvPicture{};
  }
  valid_.fill(false);
}

}  // namespace marlin
