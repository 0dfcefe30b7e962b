#pragma once

#include <cstdint>

#include "export/avi_formats.h"

namespace marlin {

// How an export stores the recording's sound: the stream's format and
// whether each packet goes through convertAudioToPcm on the way (the
// recorder's codec number is the audio format index).
struct ExportSoundFormat {
  AviAudioFormat format;
  bool convert = false;
};

// Mono at sampleRate for the recorder's audio format index 1..6; any other
// index stores the bytes as 8-bit PCM as they are.
ExportSoundFormat exportSoundFormat(int audioFormatIndex, std::uint32_t sampleRate);

}  // namespace marlin
