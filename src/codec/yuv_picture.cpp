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

const YuvPicture* PictureStore::decodeParsed(VideoDecoder& decoder, const std::uint8_t* payload, std::size_t length) {
  const codec::PictureHeader& header = decoder.header();
  const std::size_t slot = static_cast<std::size_t>(header.channel & 0x0F) + (header.dual ? 16 : 0);
  YuvPicture& picture = pictures_[slot];
  if (picture.width != header.width || picture.height != header.height) {
    // A new size starts from black; a conditional picture then only shows what it codes.
    picture.resize(header.width, header.height);
    std::memset(picture.y(), 0, static_cast<std::size_t>(header.width) * header.height);
    std::memset(picture.cb(), 128, static_cast<std::size_t>(header.width) * header.height / 2);
  }
  if (decoder.Decode(payload, length, picture.data.data()) != 1) {
    return nullptr;
  }
  return &picture;
}

void PictureStore::clear() {
  for (YuvPicture& picture : pictures_) {
    picture = YuvPicture{};
  }
}

}  // namespace marlin
