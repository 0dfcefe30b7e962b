#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/status.h"
#include "export/container.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace marlin {

// Text tracks: 3GPP timed text in MP4 (what players show as subtitles there)
// and SubRip text in Matroska. AVI has none.

// One text and when it shows, in milliseconds.
struct TimedText {
  std::int64_t at = 0;
  std::int64_t duration = 0;
  std::string text;
};

// Sets up a text stream of the container, in milliseconds.
Status describeTextStream(Container container, AVCodecParameters* parameters);

// The bytes of one sample holding text, as the container keeps it.
void textSample(Container container, std::string_view text, std::vector<std::uint8_t>& out);

}  // namespace marlin
