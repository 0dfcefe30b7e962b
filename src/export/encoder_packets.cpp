#include "export/encoder_packets.h"

#include <string>

#include "export/ffmpeg_status.h"

namespace marlin {

Status drainEncoder(AVCodecContext* context, AVPacket* packet, const PacketSink& sink, std::string_view what) {
  for (;;) {
    const int result = avcodec_receive_packet(context, packet);
    if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) return Status::ok();
    if (result < 0) return ffmpegFailure(result, std::string(what) + " failed");
    Status handed = sink(packet);
    av_packet_unref(packet);
    if (!handed) return handed;
  }
}

}  // namespace marlin
