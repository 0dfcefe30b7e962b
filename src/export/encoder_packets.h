#pragma once

#include <functional>
#include <string_view>

#include "base/status.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace marlin {

// Takes each packet an encoder gives out; the packet is unreferenced after.
using PacketSink = std::function<Status(AVPacket* packet)>;

// Hands every packet the encoder has ready to sink, through packet.
// what names the encoder in failures ("the video encoder").
Status drainEncoder(AVCodecContext* context, AVPacket* packet, const PacketSink& sink, std::string_view what);

}  // namespace marlin
