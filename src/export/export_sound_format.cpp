#include "export/export_sound_format.h"

#include "codec/audio_convert.h"

namespace marlin {

namespace {

ExportSoundFormat mono(std::uint16_t formatTag, std::uint16_t bits, bool convert, std::uint32_t sampleRate) {
  ExportSoundFormat sound;
  sound.convert = convert;
  sound.format.formatTag = formatTag;
  sound.format.channels = 1;
  sound.format.samplesPerSecond = sampleRate;
  sound.format.bitsPerSample = bits;
  sound.format.blockAlign = static_cast<std::uint16_t>(bits / 8);
  sound.format.avgBytesPerSecond = sound.format.channels * sound.format.blockAlign * sampleRate;
  return sound;
}

}  // namespace

ExportSoundFormat exportSoundFormat(int audioFormatIndex, std::uint32_t sampleRate) {
  switch (audioFormatIndex) {
    case kAudioUnsigned8:
    case kAudioSigned8:
      return mono(kWaveFormatPcm, 8, true, sampleRate);
    case kAudioUnsigned16:
      return mono(kWaveFormatPcm, 16, true, sampleRate);
    case kAudioSigned16:
      return mono(kWaveFormatPcm, 16, false, sampleRate);
    case kAudioALaw:
      // Kept companded: players expand A-law themselves.
      return mono(kWaveFormatALaw, 8, false, sampleRate);
    case kAudioMuLaw:
      return mono(kWaveFormatPcm, 16, true, sampleRate);
    default:
      return mono(kWaveFormatPcm, 8, false, sampleRate);
  }
}

}  // namespace marlin
