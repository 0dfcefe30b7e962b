// Arbitrary payloads through the picture parser and decoder: no crash, no
// read or write outside the buffers, no signed overflow in the transform, and
// every transform version produces the same picture as the portable one.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "codec/idct.h"
#include "codec/video_decoder.h"

namespace {

using marlin::VideoDecoder;
namespace codec = marlin::codec;

// Decodes over a picture that starts as a copy of `initial`, as conditional
// pictures are decoded over the previous one.
std::vector<std::uint8_t> decodeWith(const codec::IdctKernel& kernel, int variant, const std::uint8_t* payload,
                                     std::size_t length, const std::vector<std::uint8_t>& initial, int& result) {
  codec::selectIdct(kernel);
  VideoDecoder decoder;
  decoder.Init(variant);
  std::vector<std::uint8_t> picture = initial;
  result = -1;
  if (decoder.ParseHeader(payload, length) != 0) {
    if (static_cast<std::size_t>(decoder.GetWidth()) * decoder.GetHeight() * 3 / 2 > picture.size()) {
      std::abort();
    }
    result = decoder.Decode(payload, length, picture.data());
  }
  return picture;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) {
    return 0;
  }
  const int variant = data[0] % 7;
  const std::uint8_t fill = data[1];
  // The payload is copied to a buffer of its own size, so that any read past
  // its end is caught.
  const std::vector<std::uint8_t> payload(data + 2, data + size);
  const std::vector<std::uint8_t> initial(VideoDecoder::kMaxPictureBytes, fill);

  int portableResult = 0;
  const auto expected =
      decodeWith(codec::portableIdct(), variant, payload.data(), payload.size(), initial, portableResult);
  for (const codec::IdctKernel* kernel : codec::supportedIdcts()) {
    int result = 0;
    const auto picture = decodeWith(*kernel, variant, payload.data(), payload.size(), initial, result);
    if (result != portableResult || picture != expected) {
      std::abort();
    }
  }
  return 0;
}
