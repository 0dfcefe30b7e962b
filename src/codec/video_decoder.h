#pragma once

#include <cstddef>
#include <cstdint>

#include "base/codec_ids.h"
#include "codec/idct.h"
#include "codec/picture_header.h"
#include "codec/quantiser.h"

namespace marlin {

// Decodes the compressed pictures of one recording or live stream: told the
// codec variant once, it parses each picture's header (ParseHeader) and then
// decodes it (Decode) into a planar 4:2:0 buffer. One decoder per thread.
class VideoDecoder {
 public:
  // The largest picture: 640 x 272 x 3 / 2 bytes.
  static constexpr std::size_t kMaxPictureBytes = 640 * 272 * 3 / 2;

  VideoDecoder();
  virtual ~VideoDecoder() = default;

  // Chooses the header layout; also takes the currently selected transform.
  int Init(CodecVariant variant);

  // Nonzero (the index where the slice scan stopped) when payload is a
  // picture this decoder can decode; 0 otherwise.
  std::size_t ParseHeader(const std::uint8_t* payload, std::size_t length);

  // Decodes the picture just parsed from the same payload into out (at least
  // width x height x 3 / 2 bytes). Conditional pictures update out in place,
  // so out must hold the same channel's previous picture. 1 on success.
  int Decode(const std::uint8_t* payload, std::size_t length, std::uint8_t* out);

  int GetChannel() const { return header_.channel; }
  int GetWidth() const { return header_.width; }
  int GetHeight() const { return header_.height; }
  const codec::PictureHeader& header() const { return header_; }
  CodecVariant variant() const { return variant_; }
  const char* transformName() const { return idctName_; }

 private:
  CodecVariant variant_ = 0;
  codec::HeaderLayout layout_ = codec::HeaderLayout::A;
  codec::PictureHeader header_;
  codec::ScaledQuantiser quantiser_;
  codec::IdctFn idct_;
  const char* idctName_;
};

}  // namespace marlin
