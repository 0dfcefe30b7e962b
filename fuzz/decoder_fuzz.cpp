// Arbitrary payloads through the picture parser and decoder: no crash, no
// read or write outside the buffers, no signed overflow in the transform,
// every transform version produces the same picture as the portable one, and
// the picture scanner succeeds where the decoder does and marks as coded
// exactly the macroblocks the decoder writes.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "codec/idct.h"
#include "codec/picture_scan.h"
#include "codec/video_decoder.h"
#include "support/decoded_writes.h"

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

void checkScanAgainstDecoder(int variant, const std::vector<std::uint8_t>& payload, std::uint8_t fill,
                             const std::vector<std::uint8_t>& overFill, int decoded) {
  VideoDecoder decoder;
  decoder.Init(variant);
  if (decoder.ParseHeader(payload.data(), payload.size()) == 0) {
    return;
  }
  codec::PictureScan scan;
  const bool scanned = codec::scanPicture(payload.data(), payload.size(), decoder.header(), scan);
  if (scanned != (decoded == 1)) {
    std::abort();
  }
  int result = 0;
  const std::vector<std::uint8_t> otherFill(VideoDecoder::kMaxPictureBytes, static_cast<std::uint8_t>(~fill));
  const auto overOther = decodeWith(codec::portableIdct(), variant, payload.data(), payload.size(), otherFill, result);
  for (int row = 0; row < scan.rows; ++row) {
    for (int column = 0; column < scan.columns; ++column) {
      const bool written =
          marlin::testing::macroblockWritten(overFill, overOther, decoder.GetWidth(), decoder.GetHeight(), row, column);
      // A failed picture may have written part of the macroblock it failed in.
      if (scan.coded(row, column) ? !written : (scanned && written)) {
        std::abort();
      }
    }
  }
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
  checkScanAgainstDecoder(variant, payload, fill, expected, portableResult);
  return 0;
}
