#include "source/codec_ids.h"

#include <algorithm>

namespace marlin {

namespace {

template <std::size_t N>
int indexOfName(const std::array<std::string_view, N>& names, std::string_view name) {
  const auto it = std::find(names.begin(), names.end(), name);
  return it == names.end() ? -1 : static_cast<int>(it - names.begin());
}

}  // namespace

CodecVariant resolveCodecVariant(std::string_view name, MessageSink& sink) {
  const int index = indexOfName(kVideoCodecNames, name);
  if (index < 0) {
    sink.showMessage("Unkown Video Format", "");
    return 0;
  }
  return index;
}

AudioCodecId resolveAudioCodecId(std::string_view name, MessageSink& sink) {
  const int index = indexOfName(kAudioCodecNames, name);
  if (index < 0) {
    sink.showMessage("Unkown Audio Format", "");
    return 0;
  }
  return index + 1;
}

}  // namespace marlin
