#include "export/sound_routing.h"

#include <algorithm>

namespace marlin {

std::optional<std::uint32_t> soundChannelOfCamera(int camera, const SoundBytesPerChannel& carried) {
  const bool firstAlone =
      carried[0] > 0 && std::all_of(carried.begin() + 1, carried.end(), [](std::uint64_t bytes) { return bytes == 0; });
  if (firstAlone) return 0;
  if (camera >= 0 && camera < kSoundChannels && carried[static_cast<std::size_t>(camera)] > 0) {
    return static_cast<std::uint32_t>(camera);
  }
  return std::nullopt;
}

}  // namespace marlin
