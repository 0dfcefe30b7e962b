#include "codec/audio_convert.h"

#include <cstring>

#include "codec/g711.h"

namespace marlin {

namespace {

template <std::int16_t (*Expand)(std::uint8_t)>
std::uint32_t expand(const std::uint8_t* data, std::uint32_t length, std::uint8_t* out) {
  for (std::uint32_t i = 0; i < length; ++i) {
    const auto sample = static_cast<std::uint16_t>(Expand(data[i]));
    out[2 * i] = static_cast<std::uint8_t>(sample);
    out[2 * i + 1] = static_cast<std::uint8_t>(sample >> 8);
  }
  return 2 * length;
}

}  // namespace

std::uint32_t convertAudioToPcm(int codec, const std::uint8_t* data, std::uint32_t length, std::uint8_t* out) {
  switch (codec) {
    case kAudioUnsigned8:
    case kAudioUnsigned16:
    case kAudioSigned16:
      std::memcpy(out, data, length);
      return length;
    case kAudioSigned8:
      for (std::uint32_t i = 0; i < length; ++i) {
        out[i] = static_cast<std::uint8_t>(data[i] - 0x80);
      }
      return length;
    case kAudioALaw:
      return expand<alawToLinear>(data, length, out);
    case kAudioMuLaw:
      return expand<mulawToLinear>(data, length, out);
    default:
      return 0;
  }
}

}  // namespace marlin
