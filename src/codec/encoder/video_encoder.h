#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "codec/video_decoder.h"
#include "codec/yuv_picture.h"

namespace marlin::encoder {

struct EncodeParams {
  CodecVariant variant = 4;    // picks the header layout; 2 is the live stream's
  int quality = 2;             // 1..14, lower is finer
  int channel = 0;             // layout A carries channels 0-3 only
  bool refresh = true;         // code every macroblock; otherwise only what changed
  std::uint16_t sequence = 0;  // live layout: the picture sequence number
  // Two channels side by side (variant 5 only).
  bool dual = false;
  int secondChannel = 0;
  bool firstHidden = false;
  bool secondHidden = false;
  // A conditional picture codes a block in which some sample changed by more
  // than this since the block was last coded, and a macroblock when any of
  // its blocks did.
  int changeThreshold = 2;
};

// Compresses 640x224 or 640x272 planar 4:2:0 pictures into the DVR's intra
// codec. Conditional pictures code what changed since the channel's previous
// picture; the encoder decodes what it writes to know what decoders show.
class VideoEncoder {
 public:
  std::vector<std::uint8_t> encode(const YuvPicture& picture, const EncodeParams& params);

 private:
  struct Reference {
    YuvPicture picture;  // what a decoder shows
    YuvPicture source;   // each block as it was when last coded
    bool valid = false;
  };

  // reference: null for a refresh picture; otherwise its source blocks are
  // brought up to date as they are coded.
  std::vector<std::uint8_t> encodeSlices(const YuvPicture& picture, const EncodeParams& params, Reference* reference);

  std::array<Reference, 32> references_;
  VideoDecoder decoder_;
};

// Forward 8x8 DCT (orthonormal, DC = 8 x mean) of samples at stride.
void forwardDct(const std::uint8_t* samples, std::ptrdiff_t stride, double out[64]);

}  // namespace marlin::encoder
