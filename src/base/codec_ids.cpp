#include "base/codec_ids.h"

#include <algorithm>

namespace marlin {

namespace {

template <std::size_t N>
std::optional<int> indexOfName(const std::array<std::string_view, N>& names, std::string_view name) {
  const auto it = std::find(names.begin(), names.end(), name);
  if (it == names.end()) {
    return std::nullopt;
  }
  return static_cast<int>(it - names.begin());
}

}  // namespace

std::optional<CodecVariant> findCodecVariant(std::string_view name) { return indexOfName(kVideoCodecNames, name); }

std::optional<AudioCodecId> findAudioCodecId(std::string_view name) {
  const auto index = indexOfName(kAudioCodecNames, name);
  return index ? std::optional<AudioCodecId>(*index + 1) : std::nullopt;
}

}  // namespace marlin
