#include "codec/picture_header.h"

#include "startcode/start_code_search.h"

namespace marlin::codec {

HeaderLayout headerLayoutOf(CodecVariant variant) {
  switch (variant) {
    case kVariantQk4:
      return HeaderLayout::A;
    case kVariantQkn:
      return HeaderLayout::C;
    case kVariantQkt3:
      return HeaderLayout::D;
    default:
      return HeaderLayout::B;
  }
}

std::size_t pictureHeaderSize(HeaderLayout layout) {
  switch (layout) {
    case HeaderLayout::C:
      return 7;
    case HeaderLayout::D:
      return 6;
    case HeaderLayout::A:
    case HeaderLayout::B:
      break;
  }
  return 5;
}

namespace {

void parseFields(const std::uint8_t* payload, std::size_t length, HeaderLayout layout, PictureHeader& out) {
  const std::uint8_t h4 = payload[4];
  const bool refreshId = payload[3] == 0xF9;
  out.dual = false;
  switch (layout) {
    case HeaderLayout::A: {
      out.quality = (h4 >> 3) & 0x0F;
      const int channel = h4 & 0x07;
      out.channel = channel >= 4 ? 0 : channel;
      out.allCoded = (h4 & 0x80) != 0;
      break;
    }
    case HeaderLayout::B:
      out.quality = h4 >> 4;
      out.channel = h4 & 0x0F;
      out.allCoded = refreshId;
      break;
    case HeaderLayout::C:
      out.quality = (h4 >> 3) & 0x0F;
      out.channel = 0;
      out.allCoded = (h4 & 0x80) != 0;
      if (length >= 7) {
        out.extraValue = static_cast<std::uint16_t>(payload[5] << 8 | payload[6]);
      }
      break;
    case HeaderLayout::D: {
      out.quality = h4 >> 4;
      out.channel = h4 & 0x0F;
      out.allCoded = refreshId;
      const std::uint8_t h5 = payload[5];
      out.dual = (h5 & 0x80) != 0;
      out.firstChannel = out.channel;
      out.secondChannel = (h5 >> 3) & 0x0F;
      out.firstHidden = (h5 & 0x04) != 0;
      out.secondHidden = (h5 & 0x02) != 0;
      break;
    }
  }
}

}  // namespace

bool parsePictureFields(const std::uint8_t* payload, std::size_t length, HeaderLayout layout, PictureHeader& out) {
  if (payload == nullptr || length <= 5) {
    return false;
  }
  if (payload[0] != 0 || payload[1] != 0 || payload[2] != 1 || (payload[3] != 0xF8 && payload[3] != 0xF9)) {
    return false;
  }
  parseFields(payload, length, layout, out);
  return out.quality <= kHighestQuality;
}

std::size_t parsePictureHeader(const std::uint8_t* payload, std::size_t length, HeaderLayout layout,
                               PictureHeader& out) {
  if (!parsePictureFields(payload, length, layout, out)) {
    return 0;
  }
  out.sliceCount = 0;
  // A start code is 00 00 01 and a code byte, the first 00 at 5 or later.
  // One more than the slices a picture may have tells one too many.
  std::array<std::uint32_t, kMaxSlices + 1> starts;
  const std::size_t found = startcode::activeKernels().findAllAny(payload, 5, length, starts.data(), starts.size());
  std::size_t i = length;
  for (std::size_t k = 0; k < found; ++k) {
    const std::uint32_t at = starts[k];
    if (payload[at + 3] >= 0xF8 && payload[at + 3] <= 0xFD) {
      i = at + 3;  // the next frame's start code
      break;
    }
    if (out.sliceCount == kMaxSlices) {
      return 0;
    }
    out.slices[out.sliceCount++] = at;
  }
  if (out.sliceCount == 14) {
    out.width = 640;
    out.height = 224;
  } else if (out.sliceCount == 17) {
    out.width = 640;
    out.height = 272;
  } else {
    return 0;
  }
  return i;
}

}  // namespace marlin::codec
