#pragma once

#include <string_view>

#include "base/codec_ids.h"
#include "platform/message_sink.h"

namespace marlin {

// The start-up step of the main window and the export dialog: the build's
// codec names to numbers, telling the user about a name that is in neither
// table and going on with 0.
CodecVariant resolveCodecVariant(std::string_view name, MessageSink& sink);
AudioCodecId resolveAudioCodecId(std::string_view name, MessageSink& sink);

}  // namespace marlin
