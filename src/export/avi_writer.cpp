#include "export/avi_writer.h"

#include <unistd.h>

#include <cstdint>
#include <deque>
#include <optional>
#include <string>

#include "base/log.h"
#include "export/aac_sound_encoder.h"
#include "export/avi_header_patch.h"
#include "export/compression_choice.h"
#include "export/container.h"
#include "export/ffmpeg_functions.h"
#include "export/ffmpeg_log.h"
#include "export/ffmpeg_status.h"
#include "export/mp4_index_first.h"
#include "export/timed_text.h"
#include "export/video_encoder.h"
#include "platform/output_file.h"

namespace marlin {

struct AviWriter::Muxer {
  std::string path;
  Container container = Container::Avi;
  AVFormatContext* format = nullptr;
  AVPacket* packet = av().av_packet_alloc();
  AVStream* video = nullptr;
  AVStream* audio = nullptr;
  AVStream* text = nullptr;
  AVRational frameTimeBase{1, 1};
  AVRational sampleTimeBase{1, 1};
  // How far every track starts late, in seconds: an AAC track's lead-in
  // starts before 0, and moving the pictures and texts with the sound keeps
  // them together without a time below 0, which fragments cannot express.
  AVRational leadIn{0, 1};
  // Null for uncompressed frames, which go to the file as they are.
  std::unique_ptr<CompressedVideoEncoder> encoder;
  // Set for MP4 files only, whose sound is AAC.
  std::unique_ptr<AacSoundEncoder> soundEncoder;
  bool headerWritten = false;
  // An AVI file holds frames in the order of their times; none can go back.
  std::int64_t nextFrameIndex = 0;
  // The times and durations of the pictures sent to the encoder and not yet
  // out of it, in frameTimeBase: a packet lasts until the next picture, the
  // last one as long as it was given.
  std::deque<std::pair<std::int64_t, std::int64_t>> pendingPictures;
  // Set once the first picture has reached the file itself, not only the buffers before it.
  bool pictureStored = false;

  ~Muxer() {
    encoder.reset();
    soundEncoder.reset();
    if (format != nullptr) {
      if (format->pb != nullptr) av().avio_closep(&format->pb);
      av().avformat_free_context(format);
    }
    av().av_packet_free(&packet);
  }

  // Hands one packet stamped in `base` to the file, in call order: the
  // caller writes sound and pictures as they belong together in time.
  Status write(AVPacket* out, AVStream* stream, AVRational base) {
    out->stream_index = stream->index;
    if (leadIn.num != 0) {
      const std::int64_t late = av().av_rescale_q(leadIn.num, {1, leadIn.den}, base);
      out->pts += late;
      out->dts += late;
    }
    av().av_packet_rescale_ts(out, base, stream->time_base);
    const int result = av().av_write_frame(format, out);
    av().av_packet_unref(out);
    if (result < 0) return ffmpegFailure(result, "cannot write to the file");
    return stream == video && !pictureStored ? storeFirstPicture() : Status::ok();
  }

  // The first picture is pushed through to the file at once, so that a full disk fails it rather than a later one,
  // and a file that holds no whole picture can be told from one that does.
  Status storeFirstPicture() {
    // Muxers that gather packets (Matroska's clusters) hand them on; the others answer that there is nothing to do.
    const int handedOn = av().av_write_frame(format, nullptr);
    av().avio_flush(format->pb);
    const int result = handedOn < 0 ? handedOn : format->pb->error;
    if (result < 0) return ffmpegFailure(result, "cannot write to the file");
    pictureStored = true;
    return Status::ok();
  }

  PacketSink encodedVideoSink() {
    return [this](AVPacket* out) {
      const AVRational base = encoder->timeBase();
      const std::int64_t at = av().av_rescale_q(out->pts, base, frameTimeBase);
      while (!pendingPictures.empty() && pendingPictures.front().first < at) pendingPictures.pop_front();
      if (!pendingPictures.empty()) {
        const std::int64_t duration =
            pendingPictures.size() > 1 ? pendingPictures[1].first - at : pendingPictures.front().second;
        out->duration = av().av_rescale_q(duration, frameTimeBase, base);
        pendingPictures.pop_front();
      }
      return write(out, video, base);
    };
  }

  PacketSink encodedSoundSink() {
    return [this](AVPacket* out) { return write(out, audio, soundEncoder->timeBase()); };
  }

  Status writeBytes(AVStream* stream, AVRational base, std::int64_t time, std::int64_t duration,
                    const std::uint8_t* data, std::uint32_t bytes, bool keyFrame) {
    // The muxer writes a packet before av_write_frame returns and only copies data it keeps, so the caller's bytes
    // go as they are: a copy of every uncompressed frame was a tenth of an export's time.
    packet->data = const_cast<std::uint8_t*>(data);
    packet->size = static_cast<int>(bytes);
    packet->pts = packet->dts = time;
    packet->duration = duration;
    if (keyFrame) packet->flags |= AV_PKT_FLAG_KEY;
    return write(packet, stream, base);
  }
};

namespace {

Status checkRateAndVideo(std::uint32_t rate, std::uint32_t scale, AviVideoFormat& format) {
  if (rate == 0 || scale == 0 || rate > INT32_MAX || scale > INT32_MAX) {
    return Status::failure(StatusCode::InvalidArgument,
                           "frame rate " + std::to_string(rate) + " / " + std::to_string(scale) + " is not a rate");
  }
  // Frames travel in packets whose size is an int.
  constexpr int kLargestSide = 16384;
  if (format.bitCount != 24 || format.width <= 0 || format.height <= 0 || format.width > kLargestSide ||
      format.height > kLargestSide) {
    return Status::failure(StatusCode::Unsupported, "only 24-bit images of 1 to 16384 pixels a side are written, not " +
                                                        std::to_string(format.width) + " x " +
                                                        std::to_string(format.height) + " x " +
                                                        std::to_string(format.bitCount));
  }
  // Rows are padded to 4 bytes; an image of any other size would cut rows
  // short, or shift every row after the first, for any width not a multiple of 4.
  const std::uint32_t padded = dibImageBytes(format.width, format.height, format.bitCount);
  if (format.imageSize == 0) format.imageSize = padded;
  if (format.imageSize != padded) {
    return Status::failure(StatusCode::InvalidArgument,
                           "image size " + std::to_string(format.imageSize) + " is not " + std::to_string(padded) +
                               ", the size of " + std::to_string(format.width) + " x " + std::to_string(format.height) +
                               " 24-bit rows padded to 4 bytes");
  }
  return Status::ok();
}

AVCodecID pcmCodecFor(const AviAudioFormat& format) {
  const bool storedTag = format.formatTag == kWaveFormatPcm || format.formatTag == kWaveFormatALaw;
  if (!storedTag || format.channels == 0 || format.blockAlign == 0 || format.samplesPerSecond == 0 ||
      format.avgBytesPerSecond == 0 || format.avgBytesPerSecond > INT32_MAX || format.samplesPerSecond > INT32_MAX) {
    return AV_CODEC_ID_NONE;
  }
  if (format.formatTag == kWaveFormatALaw) return format.bitsPerSample == 8 ? AV_CODEC_ID_PCM_ALAW : AV_CODEC_ID_NONE;
  if (format.bitsPerSample == 8) return AV_CODEC_ID_PCM_U8;
  if (format.bitsPerSample == 16) return AV_CODEC_ID_PCM_S16LE;
  return AV_CODEC_ID_NONE;
}

}  // namespace

AviWriter::AviWriter() { compression_choice::reset(); }

AviWriter::~AviWriter() { close(); }

bool AviWriter::isOpen() const { return muxer_ != nullptr; }

bool AviWriter::holdsAPicture() const { return muxer_ != nullptr ? muxer_->pictureStored : pictureStored_; }

int AviWriter::fail(Status failure) {
  failed_ = true;
  lastFailure_ = logged(LogLevel::Warning, std::move(failure));
  return 0;
}

int AviWriter::open(const std::string& path) {
  close();
  videoFormat_ = AviVideoFormat{};
  lastFailure_ = Status::ok();
  pictureStored_ = false;
  timing_ = PictureTiming::ConstantRate;
  creationTime_.clear();
  timeTrack_ = false;
  texts_.clear();
  if (Status loaded = Ffmpeg::load(); !loaded) return fail(std::move(loaded));
  routeFfmpegLogOnce();
  auto muxer = std::make_unique<Muxer>();
  muxer->path = path;
  if (muxer->packet == nullptr) return fail(Status::failure(StatusCode::OutOfMemory, "no memory for an AVI writer"));
  const std::optional<Container> container = containerOf(path);
  if (!container) return fail(unknownContainer(path));
  muxer->container = *container;
  const char* muxerName = ffmpegMuxerName(muxer->container);
  if (const int result = av().avformat_alloc_output_context2(&muxer->format, nullptr, muxerName, path.c_str());
      result < 0) {
    return fail(ffmpegFailure(result, std::string("cannot make the ") + muxerName + " muxer for " + path));
  }
  int checked = -1;
  if (Status created = openOutputFile(path, OutputOpening::Replace, BlockDeviceOutput::Refused, checked); !created) {
    return fail(std::move(created));
  }
  // FFmpeg opens it again by its name: an empty regular file by now, which opens at once.
  ::close(checked);
  if (const int result = av().avio_open(&muxer->format->pb, path.c_str(), AVIO_FLAG_WRITE); result < 0) {
    return fail(ffmpegFailure(result, "cannot create " + path));
  }
  muxer_ = std::move(muxer);
  return 1;
}

int AviWriter::setPictureTiming(PictureTiming timing) {
  if (!isOpen()) return fail(Status::failure(StatusCode::InvalidArgument, "no file is open"));
  if (timing == PictureTiming::Milliseconds && muxer_->container == Container::Avi) {
    return fail(Status::failure(StatusCode::Unsupported, "AVI files play at a constant rate"));
  }
  timing_ = timing;
  return 1;
}

void AviWriter::setCreationTime(const std::string& utc) { creationTime_ = utc; }

int AviWriter::createStreams(std::uint32_t rate, std::uint32_t scale, const AviVideoFormat* video,
                             const AviAudioFormat* audio) {
  audioEnabled_ = false;
  if (!isOpen()) return fail(Status::failure(StatusCode::InvalidArgument, "no AVI file is open"));
  if (muxer_->headerWritten) return fail(Status::failure(StatusCode::InvalidArgument, "the streams are already made"));
  if (video != nullptr) videoFormat_ = *video;
  if (Status checked = checkRateAndVideo(rate, scale, videoFormat_); !checked) return fail(std::move(checked));
  AVFormatContext* format = muxer_->format;

  // The sound stream is created first: files with sound hold it as stream 0
  // and the video as stream 1, whatever the compression.
  Status audioFailure;
  if (audio != nullptr) {
    audioFormat_ = *audio;
    const AVCodecID codec = pcmCodecFor(audioFormat_);
    if (codec == AV_CODEC_ID_NONE) {
      audioFailure = Status::failure(StatusCode::Unsupported, "sound format " + std::to_string(audio->formatTag) +
                                                                  " with " + std::to_string(audio->bitsPerSample) +
                                                                  "-bit samples is not stored");
    } else if ((muxer_->audio = av().avformat_new_stream(format, nullptr)) == nullptr) {
      audioFailure = Status::failure(StatusCode::OutOfMemory, "no memory for the sound stream");
    } else if (muxer_->container == Container::Mp4) {
      // MP4 cannot hold PCM or A-law sound: it goes in as AAC.
      Status aac = AacSoundEncoder::open(audioFormat_, muxer_->soundEncoder);
      if (aac) aac = muxer_->soundEncoder->describeStream(muxer_->audio->codecpar);
      if (aac) {
        muxer_->audio->time_base = muxer_->soundEncoder->timeBase();
        muxer_->leadIn = {static_cast<int>(muxer_->soundEncoder->leadIn()), muxer_->soundEncoder->timeBase().den};
        audioEnabled_ = true;
      } else {
        audioFailure = std::move(aac);
      }
    } else {
      AVCodecParameters* parameters = muxer_->audio->codecpar;
      parameters->codec_type = AVMEDIA_TYPE_AUDIO;
      parameters->codec_id = codec;
      av().av_channel_layout_default(&parameters->ch_layout, audioFormat_.channels);
      parameters->sample_rate = static_cast<int>(audioFormat_.samplesPerSecond);
      parameters->block_align = audioFormat_.blockAlign;
      parameters->bits_per_coded_sample = audioFormat_.bitsPerSample;
      parameters->bit_rate = static_cast<std::int64_t>(audioFormat_.avgBytesPerSecond) * 8;
      // One block of samples per tick: scale = block align, rate = bytes per second.
      muxer_->sampleTimeBase = {audioFormat_.blockAlign, static_cast<int>(audioFormat_.avgBytesPerSecond)};
      muxer_->audio->time_base = muxer_->sampleTimeBase;
      audioEnabled_ = true;
    }
  }

  const AVRational frameRate{static_cast<int>(rate), static_cast<int>(scale)};
  muxer_->frameTimeBase =
      timing_ == PictureTiming::Milliseconds ? AVRational{1, 1000} : AVRational{frameRate.den, frameRate.num};
  muxer_->video = av().avformat_new_stream(format, nullptr);
  if (muxer_->video == nullptr) return fail(Status::failure(StatusCode::OutOfMemory, "no memory for the video stream"));
  muxer_->video->time_base = muxer_->frameTimeBase;
  const Compression compression = compression_choice::current();
  AVCodecParameters* parameters = muxer_->video->codecpar;
  const bool avi = muxer_->container == Container::Avi;
  if (compression.codec == VideoCodec::Uncompressed && !avi) {
    // Only AVI's bitmap frames store bottom-up rows as they are.
    return fail(Status::failure(StatusCode::Unsupported,
                                "uncompressed pictures are written to .avi files only; choose "
                                "a codec for " +
                                    muxer_->path));
  }
  if (compression.codec == VideoCodec::Uncompressed) {
    parameters->codec_type = AVMEDIA_TYPE_VIDEO;
    parameters->codec_id = AV_CODEC_ID_RAWVIDEO;
    parameters->codec_tag = 0;  // BI_RGB
    parameters->format = AV_PIX_FMT_BGR24;
    parameters->bits_per_coded_sample = 24;
    parameters->width = videoFormat_.width;
    parameters->height = videoFormat_.height;
  } else {
    if (Status opened = CompressedVideoEncoder::open(compression, videoFormat_, muxer_->frameTimeBase, frameRate, !avi,
                                                     muxer_->encoder);
        !opened) {
      return fail(std::move(opened));
    }
    if (Status described = muxer_->encoder->describeStream(parameters); !described) return fail(std::move(described));
  }

  // MP4's text track waits for the file in one piece (moveIndexFirst).
  if (timeTrack_ && muxer_->container == Container::Matroska) {
    muxer_->text = av().avformat_new_stream(format, nullptr);
    if (muxer_->text == nullptr) return fail(Status::failure(StatusCode::OutOfMemory, "no memory for the text track"));
    muxer_->text->time_base = {1, 1000};
    if (Status described = describeTextStream(muxer_->container, muxer_->text->codecpar); !described) {
      return fail(std::move(described));
    }
  }
  if (!creationTime_.empty() && !avi) av().av_dict_set(&format->metadata, "creation_time", creationTime_.c_str(), 0);

  AVDictionary* options = nullptr;
  // The frames are bitmaps whose bottom row comes first; the header must say
  // so (a positive height), or readers show them upside down.
  if (avi) av().av_dict_set(&options, "flipped_raw_rgb", "1", 0);
  // Each fragment (from one key frame to the next) plays once it is written.
  if (muxer_->container == Container::Mp4) {
    av().av_dict_set(&options, "movflags", "+frag_keyframe+empty_moov+default_base_moof+delay_moov", 0);
  }
  // What is written reaches the file at once rather than waiting in a buffer, so that an export cut short keeps
  // every fragment (Matroska: every cluster) written.
  if (!avi) format->flags |= AVFMT_FLAG_FLUSH_PACKETS;
  const int result = av().avformat_write_header(format, &options);
  av().av_dict_free(&options);
  if (result < 0) return fail(ffmpegFailure(result, "cannot write the file's header"));
  muxer_->headerWritten = true;
  if (!audioFailure) return fail(std::move(audioFailure));
  return 1;
}

int AviWriter::writeVideo(std::int64_t at, const std::uint8_t* image, std::int64_t duration) {
  if (failed_) return 0;
  if (!isOpen() || !muxer_->headerWritten) {
    return fail(Status::failure(StatusCode::InvalidArgument, "no video stream to write to"));
  }
  Muxer& muxer = *muxer_;
  if (at < muxer.nextFrameIndex) {
    return fail(Status::failure(
        StatusCode::InvalidArgument,
        "a picture at " + std::to_string(at) + " comes after one at " + std::to_string(muxer.nextFrameIndex - 1)));
  }
  Status written;
  if (muxer.encoder == nullptr) {
    written = muxer.writeBytes(muxer.video, muxer.frameTimeBase, at, duration, image, videoFormat_.imageSize, true);
  } else {
    muxer.pendingPictures.emplace_back(at, duration);
    written = muxer.encoder->encode(image, at, muxer.encodedVideoSink());
  }
  if (!written) return fail(std::move(written));
  muxer.nextFrameIndex = at + 1;
  return 1;
}

int AviWriter::writeTimeText(std::int64_t at, std::int64_t duration, std::string_view text) {
  if (failed_) return 0;
  if (!isOpen() || !timeTrack_) return 1;
  if (muxer_->container == Container::Mp4) {
    // Each text shows until the next.
    // With the pictures, after the sound's lead-in.
    at += av().av_rescale_q(muxer_->leadIn.num, {1, muxer_->leadIn.den}, {1, 1000});
    if (!texts_.empty()) texts_.back().duration = at - texts_.back().at;
    texts_.push_back({at, duration, std::string(text)});
    return 1;
  }
  if (muxer_->text == nullptr) return 1;
  textSample(muxer_->container, text, textBytes_);
  Status written = muxer_->writeBytes(muxer_->text, {1, 1000}, at, duration, textBytes_.data(),
                                      static_cast<std::uint32_t>(textBytes_.size()), true);
  return written ? 1 : fail(std::move(written));
}

int AviWriter::writeAudio(const std::uint8_t* data, std::uint32_t bytes) {
  if (!audioEnabled_) return 1;
  if (failed_) return 0;
  const std::uint32_t samples = bytes / audioFormat_.blockAlign;
  // Less than one sample has no time of its own in the stream; it is dropped
  // rather than stamped with the time of the samples that follow.
  if (samples == 0) return 1;
  Muxer& muxer = *muxer_;
  Status written = muxer.soundEncoder != nullptr ? muxer.soundEncoder->encode(data, bytes, muxer.encodedSoundSink())
                                                 : muxer.writeBytes(muxer.audio, muxer.sampleTimeBase, audioPosition_,
                                                                    samples, data, bytes, true);
  if (!written) return fail(std::move(written));
  audioPosition_ += samples;
  return 1;
}

void AviWriter::close() {
  const bool finishing = muxer_ != nullptr && muxer_->headerWritten;
  const bool uncompressed = finishing && muxer_->encoder == nullptr;
  const bool fragments = finishing && muxer_->container == Container::Mp4;
  const std::string path = muxer_ != nullptr ? muxer_->path : std::string();
  if (finishing) {
    Muxer& muxer = *muxer_;
    if (muxer.encoder != nullptr) {
      Status finished = muxer.encoder->finish(muxer.encodedVideoSink());
      if (!finished) lastFailure_ = logged(LogLevel::Warning, std::move(finished));
    }
    if (muxer.soundEncoder != nullptr) {
      Status finished = muxer.soundEncoder->finish(muxer.encodedSoundSink());
      if (!finished) lastFailure_ = logged(LogLevel::Warning, std::move(finished));
    }
    if (const int result = av().av_write_trailer(muxer.format); result < 0) {
      lastFailure_ = logged(LogLevel::Warning, ffmpegFailure(result, "cannot finish the AVI file"));
    }
  }
  pictureStored_ = muxer_ != nullptr && muxer_->pictureStored;
  muxer_.reset();
  if (uncompressed) {
    if (Status patched = setVideoImageSize(path, videoFormat_.imageSize); !patched) {
      lastFailure_ = logged(LogLevel::Warning, std::move(patched));
    }
  }
  // The fragments play as they are: a failure here only costs playing while downloading.
  if (fragments && pictureStored_) {
    if (Status moved = moveIndexFirst(path, texts_); !moved) (void)logged(LogLevel::Warning, std::move(moved));
  }
  texts_.clear();
  audioEnabled_ = false;
  audioPosition_ = 0;
  failed_ = false;
}

}  // namespace marlin
