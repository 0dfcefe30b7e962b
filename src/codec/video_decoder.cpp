#include "codec/video_decoder.h"

#include "codec/slice_decoder.h"

namespace marlin {

VideoDecoder::VideoDecoder() { Init(0); }

int VideoDecoder::Init(CodecVariant variant) {
  variant_ = variant;
  layout_ = codec::headerLayoutOf(variant);
  header_.quality = 0;
  header_.width = 0;
  header_.height = 0;
  header_.extraValue = 0;
  const codec::IdctKernel& kernel = codec::activeIdct();
  idct_ = kernel.transform;
  idctName_ = kernel.name;
  return 1;
}

std::size_t VideoDecoder::ParseHeader(const std::uint8_t* payload, std::size_t length) {
  return codec::parsePictureHeader(payload, length, layout_, header_);
}

int VideoDecoder::Decode(const std::uint8_t* payload, std::size_t length, std::uint8_t* out) {
  if (payload == nullptr || out == nullptr || length < 5 || header_.quality == 0 || header_.width == 0 ||
      header_.height == 0) {
    return 0;
  }
  return codec::decodeSlices(payload, length, header_, quantiser_.forQuality(header_.quality), idct_, out) ? 1 : 0;
}

}  // namespace marlin
