#include "engine/codec_names.h"

namespace marlin {

CodecVariant resolveCodecVariant(std::string_view name, MessageSink& sink) {
  if (const auto variant = findCodecVariant(name)) {
    return *variant;
  }
  sink.showMessage("Unkown Video Format", "");
  return 0;
}

AudioCodecId resolveAudioCodecId(std::string_view name, MessageSink& sink) {
  if (const auto codec = findAudioCodecId(name)) {
    return *codec;
  }
  sink.showMessage("Unkown Audio Format", "");
  return 0;
}

}  // namespace marlin
