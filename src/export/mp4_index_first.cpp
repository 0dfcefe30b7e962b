#include "export/mp4_index_first.h"

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <vector>

#include "export/ffmpeg_functions.h"
#include "export/ffmpeg_status.h"
#include "platform/output_file.h"

namespace marlin {

namespace {

struct Remux {
  AVFormatContext* input = nullptr;
  AVFormatContext* output = nullptr;
  AVPacket* packet = av().av_packet_alloc();
  // Each stream's packet read last, written once the next one says how long
  // it lasts: fragments do not give their samples' durations back, and the
  // last one's sets where the stream ends.
  std::vector<AVPacket*> held;
  std::vector<std::int64_t> lastDuration;
  AVStream* textStream_ = nullptr;
  const std::vector<TimedText>* texts_ = nullptr;
  std::size_t nextText_ = 0;
  // Whether the new file was made, so that a failure removes it and nothing else.
  bool created = false;

  ~Remux() {
    for (AVPacket*& waiting : held) av().av_packet_free(&waiting);
    av().av_packet_free(&packet);
    if (output != nullptr) {
      if (output->pb != nullptr) av().avio_closep(&output->pb);
      av().avformat_free_context(output);
    }
    av().avformat_close_input(&input);
  }

  Status copy(const std::string& from, const std::string& to, const std::vector<TimedText>& texts) {
    if (packet == nullptr) return Status::failure(StatusCode::OutOfMemory, "no memory to rewrite " + from);
    if (const int result = av().avformat_open_input(&input, from.c_str(), nullptr, nullptr); result < 0) {
      return ffmpegFailure(result, "cannot read " + from + " back");
    }
    if (const int result = av().avformat_alloc_output_context2(&output, nullptr, "mp4", to.c_str()); result < 0) {
      return ffmpegFailure(result, "cannot make the MP4 muxer");
    }
    av().av_dict_copy(&output->metadata, input->metadata, 0);
    for (unsigned i = 0; i < input->nb_streams; ++i) {
      const AVStream* source = input->streams[i];
      AVStream* stream = av().avformat_new_stream(output, nullptr);
      if (stream == nullptr) return Status::failure(StatusCode::OutOfMemory, "no memory for a stream");
      if (const int result = av().avcodec_parameters_copy(stream->codecpar, source->codecpar); result < 0) {
        return ffmpegFailure(result, "cannot copy a stream's description");
      }
      stream->codecpar->codec_tag = 0;
      stream->time_base = source->time_base;
      av().av_dict_copy(&stream->metadata, source->metadata, 0);
    }
    AVStream* textStream = nullptr;
    if (!texts.empty()) {
      textStream = av().avformat_new_stream(output, nullptr);
      if (textStream == nullptr) return Status::failure(StatusCode::OutOfMemory, "no memory for the text track");
      textStream->time_base = {1, 1000};
      if (Status described = describeTextStream(Container::Mp4, textStream->codecpar); !described) return described;
    }
    // Opened by the rules every output follows first: a FIFO or a recording being read under that name is
    // refused rather than waited on or overwritten.
    int checked = -1;
    if (Status opened = openOutputFile(to, OutputOpening::Replace, BlockDeviceOutput::Refused, checked); !opened) {
      return opened;
    }
    ::close(checked);
    created = true;
    if (const int result = av().avio_open(&output->pb, to.c_str(), AVIO_FLAG_WRITE); result < 0) {
      return ffmpegFailure(result, "cannot create " + to);
    }
    AVDictionary* options = nullptr;
    av().av_dict_set(&options, "movflags", "+faststart", 0);
    const int header = av().avformat_write_header(output, &options);
    av().av_dict_free(&options);
    if (header < 0) return ffmpegFailure(header, "cannot write the header of " + to);
    textStream_ = textStream;
    texts_ = &texts;
    held.assign(input->nb_streams, nullptr);
    lastDuration.assign(input->nb_streams, 0);
    for (;;) {
      const int read = av().av_read_frame(input, packet);
      if (read == AVERROR_EOF) break;
      if (read < 0) return ffmpegFailure(read, "cannot read " + from + " back");
      const auto stream = static_cast<std::size_t>(packet->stream_index);
      if (held[stream] != nullptr) {
        if (held[stream]->duration <= 0) held[stream]->duration = packet->dts - held[stream]->dts;
        if (Status written = writeHeld(stream, to); !written) return written;
      }
      held[stream] = av().av_packet_clone(packet);
      av().av_packet_unref(packet);
      if (held[stream] == nullptr) return Status::failure(StatusCode::OutOfMemory, "no memory to rewrite " + from);
    }
    // The last packets last as long as the ones before them where their own length is lost.
    for (std::size_t stream = 0; stream < held.size(); ++stream) {
      if (held[stream] == nullptr) continue;
      if (held[stream]->duration <= 0) held[stream]->duration = lastDuration[stream];
      if (Status written = writeHeld(stream, to); !written) return written;
    }
    if (Status written = writeTextsUntil(INT64_MAX, to); !written) return written;
    if (const int result = av().av_write_trailer(output); result < 0) {
      return ffmpegFailure(result, "cannot finish " + to);
    }
    if (const int result = av().avio_closep(&output->pb); result < 0) {
      return ffmpegFailure(result, "cannot finish " + to);
    }
    return Status::ok();
  }

  // The texts go in among the pictures and sound by their times, each with
  // the packets of its time: the muxer sets the file's start by the first
  // packets it gets (the sound encoder's lead-in comes before 0).
  Status writeTextsUntil(std::int64_t millisecond, const std::string& to) {
    if (textStream_ == nullptr) return Status::ok();
    const AVStream& stream = *textStream_;
    std::vector<std::uint8_t> sample;
    for (; nextText_ < texts_->size() && (*texts_)[nextText_].at <= millisecond; ++nextText_) {
      const TimedText& text = (*texts_)[nextText_];
      textSample(Container::Mp4, text.text, sample);
      AVPacket* out = av().av_packet_alloc();
      if (out == nullptr || av().av_new_packet(out, static_cast<int>(sample.size())) < 0) {
        av().av_packet_free(&out);
        return Status::failure(StatusCode::OutOfMemory, "no memory for the text track");
      }
      std::copy(sample.begin(), sample.end(), out->data);
      out->stream_index = stream.index;
      out->pts = out->dts = av().av_rescale_q(text.at, {1, 1000}, stream.time_base);
      out->duration = av().av_rescale_q(text.duration, {1, 1000}, stream.time_base);
      out->flags |= AV_PKT_FLAG_KEY;
      const int result = av().av_interleaved_write_frame(output, out);
      av().av_packet_free(&out);
      if (result < 0) return ffmpegFailure(result, "cannot write " + to);
    }
    return Status::ok();
  }

  Status writeHeld(std::size_t stream, const std::string& to) {
    AVPacket* out = held[stream];
    held[stream] = nullptr;
    lastDuration[stream] = out->duration;
    if (Status written = writeTextsUntil(av().av_rescale_q(out->dts, input->streams[stream]->time_base, {1, 1000}), to);
        !written) {
      av().av_packet_free(&out);
      return written;
    }
    av().av_packet_rescale_ts(out, input->streams[stream]->time_base, output->streams[stream]->time_base);
    const int result = av().av_interleaved_write_frame(output, out);
    av().av_packet_free(&out);
    return result < 0 ? ffmpegFailure(result, "cannot write " + to) : Status::ok();
  }
};

}  // namespace

Status moveIndexFirst(const std::string& path, const std::vector<TimedText>& texts) {
  const std::string rewritten = path + ".part";
  Status copied;
  bool created = false;
  {
    Remux remux;
    copied = remux.copy(path, rewritten, texts);
    created = remux.created;
  }
  std::error_code renamed;
  if (copied) std::filesystem::rename(rewritten, path, renamed);
  if (copied && !renamed) return Status::ok();
  std::error_code ignored;
  if (created) std::filesystem::remove(rewritten, ignored);
  return copied ? Status::failure(StatusCode::IoError, "cannot replace " + path + ": " + renamed.message()) : copied;
}

}  // namespace marlin
