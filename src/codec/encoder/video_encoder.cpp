#include "codec/encoder/video_encoder.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <string_view>

#include "codec/coefficient_codes.h"
#include "codec/encoder/bit_writer.h"
#include "codec/picture_header.h"
#include "codec/quantiser.h"

namespace marlin::encoder {

namespace {

constexpr double kPi = 3.14159265358979323846;

struct CosineTable {
  double c[8][8];
  CosineTable() {
    for (int u = 0; u < 8; ++u) {
      const double scale = u == 0 ? std::sqrt(0.125) : 0.5;
      for (int x = 0; x < 8; ++x) {
        c[u][x] = scale * std::cos((2 * x + 1) * u * kPi / 16.0);
      }
    }
  }
};

const CosineTable& cosines() {
  static const CosineTable table;
  return table;
}

struct Code {
  std::uint32_t bits = 0;
  unsigned length = 0;
};

Code codeOf(std::string_view text) {
  Code code;
  for (const char c : text) {
    code.bits = code.bits << 1 | static_cast<std::uint32_t>(c - '0');
  }
  code.length = static_cast<unsigned>(text.size());
  return code;
}

// (run, level) -> its variable-length code.
const std::map<std::pair<int, int>, Code>& codeBook() {
  static const std::map<std::pair<int, int>, Code> book = [] {
    std::map<std::pair<int, int>, Code> codes;
    for (const codec::CoefficientCode& entry : codec::coefficientCodes()) {
      codes[{entry.run, entry.level}] = codeOf(entry.bits);
    }
    return codes;
  }();
  return book;
}

void writeCoefficient(BitWriter& bits, int run, int magnitude, bool negative) {
  const auto& book = codeBook();
  if (const auto it = book.find({run, magnitude}); it != book.end()) {
    bits.write(it->second.bits, it->second.length);
    bits.write(negative ? 1 : 0, 1);
    return;
  }
  const Code escape = codeOf(codec::kEscapeBits);
  bits.write(escape.bits, escape.length);
  bits.write(static_cast<std::uint32_t>(run), 6);
  if (magnitude < 128) {
    bits.write(static_cast<std::uint32_t>(negative ? 256 - magnitude : magnitude), 8);
  } else {
    bits.write(negative ? 0x80 : 0x00, 8);
    bits.write(static_cast<std::uint32_t>(negative ? 256 - magnitude : magnitude), 8);
  }
}

// DC first (never 0, so that no 23 zero bits can form a slice start code
// inside a slice), then run/level codes in zig-zag order, then end of block.
void encodeBlock(BitWriter& bits, const std::uint8_t* samples, std::ptrdiff_t stride, int quality) {
  double coefficients[64];
  forwardDct(samples, stride, coefficients);
  const long dc = std::lround(coefficients[0] / 8.0);
  bits.write(static_cast<std::uint32_t>(std::clamp(dc, 1L, 255L)), 8);
  int run = 0;
  for (int k = 1; k < 64; ++k) {
    const int n = codec::kZigzag[k];
    const double step = codec::kIntraMatrix[n] * quality;
    const long magnitude = std::min(std::lround(std::fabs(coefficients[n]) * 4.0 / step), 255L);
    if (magnitude == 0) {
      ++run;
      continue;
    }
    writeCoefficient(bits, run, static_cast<int>(magnitude), coefficients[n] < 0);
    run = 0;
  }
  const Code endOfBlock = codeOf(codec::kEndOfBlockBits);
  bits.write(endOfBlock.bits, endOfBlock.length);
}

// A block has changed when any of its samples moved by more than threshold
// since the block was last coded.
bool blockChanged(const std::uint8_t* a, const std::uint8_t* b, std::ptrdiff_t stride, int threshold) {
  for (int row = 0; row < 8; ++row) {
    for (int column = 0; column < 8; ++column) {
      if (std::abs(a[row * stride + column] - b[row * stride + column]) > threshold) {
        return true;
      }
    }
  }
  return false;
}

void copyBlock(const std::uint8_t* from, std::uint8_t* to, std::ptrdiff_t stride) {
  for (int row = 0; row < 8; ++row) {
    std::copy_n(from + row * stride, 8, to + row * stride);
  }
}

std::vector<std::uint8_t> pictureHeader(const EncodeParams& params, bool refresh) {
  const auto quality = static_cast<std::uint8_t>(params.quality & 0x0F);
  const auto channel = static_cast<std::uint8_t>(params.channel & 0x0F);
  std::vector<std::uint8_t> header = {0x00, 0x00, 0x01, static_cast<std::uint8_t>(refresh ? 0xF9 : 0xF8)};
  const std::uint8_t refreshBit = refresh ? 0x80 : 0x00;
  switch (codec::headerLayoutOf(params.variant)) {
    case codec::HeaderLayout::A:
      header.push_back(static_cast<std::uint8_t>(refreshBit | quality << 3 | (channel & 0x03)));
      break;
    case codec::HeaderLayout::B:
      header.push_back(static_cast<std::uint8_t>(quality << 4 | channel));
      break;
    case codec::HeaderLayout::C:
      header.push_back(static_cast<std::uint8_t>(refreshBit | quality << 3));
      header.push_back(static_cast<std::uint8_t>(params.sequence >> 8));
      header.push_back(static_cast<std::uint8_t>(params.sequence));
      break;
    case codec::HeaderLayout::D:
      header.push_back(static_cast<std::uint8_t>(quality << 4 | channel));
      header.push_back(static_cast<std::uint8_t>((params.dual ? 0x80 : 0) | (params.secondChannel & 0x0F) << 3 |
                                                 (params.firstHidden ? 0x04 : 0) | (params.secondHidden ? 0x02 : 0)));
      break;
  }
  return header;
}

}  // namespace

void forwardDct(const std::uint8_t* samples, std::ptrdiff_t stride, double out[64]) {
  const CosineTable& table = cosines();
  double rows[64];
  for (int y = 0; y < 8; ++y) {
    for (int u = 0; u < 8; ++u) {
      double sum = 0;
      for (int x = 0; x < 8; ++x) {
        sum += table.c[u][x] * samples[y * stride + x];
      }
      rows[y * 8 + u] = sum;
    }
  }
  for (int u = 0; u < 8; ++u) {
    for (int v = 0; v < 8; ++v) {
      double sum = 0;
      for (int y = 0; y < 8; ++y) {
        sum += table.c[v][y] * rows[y * 8 + u];
      }
      out[v * 8 + u] = sum;
    }
  }
}

std::vector<std::uint8_t> VideoEncoder::encodeSlices(const YuvPicture& picture, const EncodeParams& params,
                                                     Reference* reference) {
  std::vector<std::uint8_t> out;
  const int width = picture.width;
  const std::ptrdiff_t chromaWidth = width / 2;
  for (int row = 0; row < picture.height / 16; ++row) {
    BitWriter bits(out);
    bits.write(0x000001, 24);
    bits.write(static_cast<std::uint32_t>(row), 5);
    int lastCoded = -1;
    for (int column = 0; column < width / 16; ++column) {
      const std::ptrdiff_t lumaOffset = static_cast<std::ptrdiff_t>(16 * row) * width + 16 * column;
      const std::ptrdiff_t chromaOffset = static_cast<std::ptrdiff_t>(8 * row) * chromaWidth + 8 * column;
      const std::ptrdiff_t blockOffsets[4] = {0, 8, 8 * width, 8 * width + 8};
      unsigned pattern = 0x0F;
      if (reference != nullptr) {
        const int threshold = params.changeThreshold;
        pattern = 0;
        for (unsigned j = 0; j < 4; ++j) {
          const std::ptrdiff_t at = lumaOffset + blockOffsets[j];
          if (blockChanged(picture.y() + at, reference->source.y() + at, width, threshold)) {
            pattern |= 1u << j;
          }
        }
        const bool chromaChanged =
            blockChanged(picture.cb() + chromaOffset, reference->source.cb() + chromaOffset, chromaWidth, threshold) ||
            blockChanged(picture.cr() + chromaOffset, reference->source.cr() + chromaOffset, chromaWidth, threshold);
        if (pattern == 0 && !chromaChanged) {
          continue;
        }
        bits.write(static_cast<std::uint32_t>(column - lastCoded), 6);
        bits.write(pattern, 4);
      }
      lastCoded = column;
      for (unsigned j = 0; j < 4; ++j) {
        if ((pattern >> j) & 1u) {
          const std::ptrdiff_t at = lumaOffset + blockOffsets[j];
          encodeBlock(bits, picture.y() + at, width, params.quality);
          if (reference != nullptr) {
            copyBlock(picture.y() + at, reference->source.y() + at, width);
          }
        }
      }
      encodeBlock(bits, picture.cb() + chromaOffset, chromaWidth, params.quality);
      encodeBlock(bits, picture.cr() + chromaOffset, chromaWidth, params.quality);
      if (reference != nullptr) {
        copyBlock(picture.cb() + chromaOffset, reference->source.cb() + chromaOffset, chromaWidth);
        copyBlock(picture.cr() + chromaOffset, reference->source.cr() + chromaOffset, chromaWidth);
      }
    }
    if (reference != nullptr && lastCoded != width / 16 - 1) {
      bits.write(0, 6);  // address increment 0: the slice ends here
    }
    bits.align();
  }
  return out;
}

std::vector<std::uint8_t> VideoEncoder::encode(const YuvPicture& picture, const EncodeParams& params) {
  const std::size_t slot = static_cast<std::size_t>(params.channel & 0x0F) + (params.dual ? 16 : 0);
  Reference& reference = references_[slot];
  const bool refresh = params.refresh || !reference.valid || reference.picture.width != picture.width ||
                       reference.picture.height != picture.height;
  std::vector<std::uint8_t> frame = pictureHeader(params, refresh);
  const std::vector<std::uint8_t> slices = encodeSlices(picture, params, refresh ? nullptr : &reference);
  frame.insert(frame.end(), slices.begin(), slices.end());

  // Follow what a decoder makes of it, for the next conditional picture.
  if (refresh) {
    reference.source = picture;
  }
  reference.picture.resize(picture.width, picture.height);
  decoder_.Init(params.variant);
  reference.valid = decoder_.ParseHeader(frame.data(), frame.size()) != 0 &&
                    decoder_.Decode(frame.data(), frame.size(), reference.picture.data.data()) == 1;
  return frame;
}

}  // namespace marlin::encoder
