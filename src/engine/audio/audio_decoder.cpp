#include "engine/audio/audio_decoder.h"

#include "codec/audio_convert.h"

namespace marlin {

int AudioDecoder::setFormat(int codec, int sampleRate, WaveFormat* out) {
  codec_ = codec;
  sampleRate_ = sampleRate;
  if (out == nullptr) {
    return 0;
  }
  const bool wide = codec >= kAudioUnsigned16 && codec <= kAudioMuLaw;
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
  outLength = convertAudioToPcm(codec_, data, length, out);
  return 1;
}

}  // namespace marlin
