#include "engine/audio/audio_decoder.h"

#include <cstring>

#include "engine/audio/g711.h"

namespace marlin {

namespace {

constexpr int kUnsigned8 = 1;
constexpr int kSigned8 = 2;
constexpr int kUnsigned16 = 3;
constexpr int kSigned16 = 4;
constexpr int kALaw = 5;
constexpr int kMuLaw = 6;

template <std::int16_t (*Expand)(std::uint8_t)>
void expand(const std::uint8_t* data, std::uint32_t length, std::uint8_t* out) {
  for (std::uint32_t i = 0; i < length; ++i) {
    const auto sample = static_cast<std::uint16_t>(Expand(data[i]));
    out[2 * i] = static_cast<std::uint8_t>(sample);
    out[2 * i + 1] = static_cast<std::uint8_t>(sample >> 8);
  }
}

}  // namespace

int AudioDecoder::setFormat(int codec, int sampleRate, WaveFormat* out) {
  codec_ = codec;
  sampleRate_ = sampleRate;
  if (out == nullptr) {
    return 0;
  }
  const bool wide = codec >= kUnsigned16 && codec <= kMuLaw;
  const std::uint16_t bits = wide ? 16 : 8;
  const auto rate = static_cast<std::uint32_t>(sampleRate);
  *out = WaveFormat{.formatTag = 1,
                    .channels = 1,
                    .samplesPerSec = rate,
                    .avgBytesPerSec = rate * bits / 8,
                    .blockAlign = static_cast<std::uint16_t>(bits / 8),
                    .bitsPerSample = bits,
                    .cbSize = 0};
  return 1;
}

int AudioDecoder::convert(const std::uint8_t* data, std::uint32_t length, std::uint8_t* out,
                          std::uint32_t& outLength) const {
  switch (codec_) {
    case kUnsigned8:
    case kUnsigned16:
    case kSigned16:
      std::memcpy(out, data, length);
      outLength = length;
      break;
    case kSigned8:
      for (std::uint32_t i = 0; i < length; ++i) {
        out[i] = static_cast<std::uint8_t>(data[i] - 0x80);
      }
      outLength = length;
      break;
    case kALaw:
      expand<alawToLinear>(data, length, out);
      outLength = 2 * length;
      break;
    case kMuLaw:
      expand<mulawToLinear>(data, length, out);
      outLength = 2 * length;
      break;
    default:
      outLength = 0;
      break;
  }
  return 1;
}

}  // namespace marlin
