#include "avi_read_back.h"

#include <cstdlib>
#include <memory>

#include "export/avi_formats.h"

extern "C" {
#include <libswscale/swscale.h>
}

namespace marlin::exporttest {

namespace {

struct InputCloser {
  void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
struct DecoderFreer {
  void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};

std::vector<std::uint8_t> toTopDownBgr(const AVFrame* frame) {
  const int width = frame->width;
  const int height = frame->height;
  std::vector<std::uint8_t> rows(static_cast<std::size_t>(width) * 3 * height);
  SwsContext* converter = sws_getContext(width, height, static_cast<AVPixelFormat>(frame->format), width, height,
                                         AV_PIX_FMT_BGR24, SWS_POINT, nullptr, nullptr, nullptr);
  std::uint8_t* destination = rows.data();
  const int destinationStride = width * 3;
  sws_scale(converter, frame->data, frame->linesize, 0, height, &destination, &destinationStride);
  sws_freeContext(converter);
  return rows;
}

}  // namespace

const StreamSeen* FileSeen::stream(AVMediaType type) const {
  for (const StreamSeen& seen : streams) {
    if (seen.type == type) return &seen;
  }
  return nullptr;
}

FileSeen readBack(const std::string& path) {
  FileSeen file;
  AVFormatContext* raw = nullptr;
  if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0) return file;
  std::unique_ptr<AVFormatContext, InputCloser> input(raw);
  if (avformat_find_stream_info(raw, nullptr) < 0) return file;
  file.opened = true;

  int videoIndex = -1;
  std::unique_ptr<AVCodecContext, DecoderFreer> decoder;
  for (unsigned i = 0; i < raw->nb_streams; ++i) {
    const AVStream* stream = raw->streams[i];
    const AVCodecParameters* parameters = stream->codecpar;
    file.streams.push_back({parameters->codec_type,
                            parameters->codec_id,
                            stream->time_base,
                            stream->r_frame_rate,
                            parameters->width,
                            parameters->height,
                            parameters->ch_layout.nb_channels,
                            parameters->sample_rate,
                            parameters->block_align,
                            0,
                            0,
                            {}});
    if (parameters->codec_type == AVMEDIA_TYPE_VIDEO && videoIndex < 0) {
      videoIndex = static_cast<int>(i);
      decoder.reset(avcodec_alloc_context3(avcodec_find_decoder(parameters->codec_id)));
      avcodec_parameters_to_context(decoder.get(), parameters);
      avcodec_open2(decoder.get(), nullptr, nullptr);
    }
  }

  AVPacket* packet = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  auto receive = [&] {
    while (avcodec_receive_frame(decoder.get(), frame) == 0) {
      file.lastPicture = toTopDownBgr(frame);
      if (file.firstPicture.empty()) file.firstPicture = file.lastPicture;
    }
  };
  while (av_read_frame(raw, packet) >= 0) {
    StreamSeen& seen = file.streams[static_cast<std::size_t>(packet->stream_index)];
    ++seen.packets;
    seen.bytes += packet->size;
    seen.packetSizes.push_back(packet->size);
    seen.packetMilliseconds.push_back(
        av_rescale_q(packet->pts, raw->streams[packet->stream_index]->time_base, {1, 1000}));
    if (packet->stream_index == videoIndex && avcodec_send_packet(decoder.get(), packet) == 0) receive();
    av_packet_unref(packet);
  }
  if (decoder != nullptr && avcodec_send_packet(decoder.get(), nullptr) == 0) receive();
  av_frame_free(&frame);
  av_packet_free(&packet);
  return file;
}

std::vector<std::uint8_t> bottomUpGradient(int width, int height, int frame) {
  const std::uint32_t rowBytes = dibRowBytes(width, 24);
  std::vector<std::uint8_t> image(rowBytes * static_cast<std::uint32_t>(height));
  for (int row = 0; row < height; ++row) {
    for (int x = 0; x < width; ++x) {
      std::uint8_t* pixel = &image[row * rowBytes + static_cast<std::uint32_t>(x) * 3];
      pixel[0] = static_cast<std::uint8_t>(x / 3);
      pixel[1] = static_cast<std::uint8_t>(row + frame * 8);
      pixel[2] = static_cast<std::uint8_t>(200 - row / 2);
    }
  }
  return image;
}

double meanDifference(const std::vector<std::uint8_t>& shown, const std::vector<std::uint8_t>& bottomUp, int width,
                      int height) {
  const std::size_t rowBytes = dibRowBytes(width, 24);
  const std::size_t shownRow = static_cast<std::size_t>(width) * 3;
  if (shown.size() != shownRow * height) return 255;
  double total = 0;
  for (int y = 0; y < height; ++y) {
    for (std::size_t i = 0; i < shownRow; ++i) {
      total += std::abs(shown[y * shownRow + i] - bottomUp[(height - 1 - y) * rowBytes + i]);
    }
  }
  return total / (static_cast<double>(shownRow) * height);
}

}  // namespace marlin::exporttest
