#include "export/avi_recorder.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <thread>

#include "export/compression_choice.h"

namespace marlin {

namespace {

using namespace avi_result;

// How long a close waits for a write under way: 100 looks 10 ms apart.
constexpr int kCloseWaitLooks = 100;
constexpr std::chrono::milliseconds kCloseWaitStep{10};

int busyResult(int state) {
  switch (state) {
    case AviRecorder::kIdle:
      return kNotRecording;
    case AviRecorder::kOpening:
      return kBusyOpening;
    case AviRecorder::kClosing:
      return kBusyClosing;
    default:
      return kWriteInProgress;
  }
}

// The DVR's sound packets are stored as they come, so the stream declares
// their own format: 16-bit formats take two bytes a sample, A-law one, and
// the 8-bit ones (and any index the recorder does not know) one.
AviAudioFormat soundFormatFor(int audioFormatIndex, int sampleRate) {
  AviAudioFormat format;
  format.samplesPerSecond = static_cast<std::uint32_t>(sampleRate);
  switch (audioFormatIndex) {
    case 3:
    case 4:
    case 6:
      format.bitsPerSample = 16;
      format.blockAlign = 2;
      break;
    case 5:
      format.formatTag = kWaveFormatALaw;
      break;
    default:
      break;
  }
  format.avgBytesPerSecond = format.blockAlign * format.samplesPerSecond;
  return format;
}

}  // namespace

CompressionChooser fixedCompression(Compression compression) {
  return [compression] { return std::optional<Compression>(compression); };
}

AviRecorder::AviRecorder(CompressionChooser chooser, MessageSink* messages)
    : chooser_(std::move(chooser)), messages_(messages) {}

AviRecorder::~AviRecorder() { close(); }

void AviRecorder::setAudioFormat(int audioFormatIndex, int sampleRate) {
  audioFormatIndex_ = audioFormatIndex;
  sampleRate_ = sampleRate;
}

int AviRecorder::open(const std::string& fileName, int bitsPerPixel, int width, int height,
                      const AviVideoFormat* pictureFormat, int framesPerSecond) {
  if (fileName.empty()) {
    return kEmptyFileName;
  }
  const int current = state_.load();
  if (current == kClosing || current == kOpening) {
    return busyResult(current);
  }
  if (current != kIdle) {
    close();
  }
  if (bitsPerPixel <= 0 || width <= 0 || height <= 0) {
    return kBadGeometry;
  }
  int idle = kIdle;
  if (!state_.compare_exchange_strong(idle, kOpening)) {
    return busyResult(idle);
  }
  const std::optional<Compression> chosen = chooser_ ? chooser_() : Compression::uncompressedDefault();
  if (!chosen) {
    compression_choice::zero();
    return release(false, kCompressionCancelled);
  }
  compression_choice::set(*chosen);
  const std::vector<VideoCodec> offered = offeredVideoCodecs();
  if (std::find(offered.begin(), offered.end(), chosen->codec) == offered.end()) {
    return release(false, kNoCompressor);
  }
  fileName_ = fileName;
  if (writer_.open(fileName) != 1) {
    return release(false, kCreateFileFailed);
  }
  width_ = width;
  height_ = height;
  // The sink's rows are width x 3 bytes; the writer's start on 4-byte
  // boundaries, so other widths go through a padded copy.
  const std::uint32_t rowBytes = dibRowBytes(width, 24);
  paddedFrame_.clear();
  if (rowBytes != static_cast<std::uint32_t>(width) * 3) {
    paddedFrame_.assign(static_cast<std::size_t>(rowBytes) * height, 0);
  }
  const AviVideoFormat video =
      pictureFormat != nullptr ? *pictureFormat : AviVideoFormat{width, height, bitsPerPixel, 0};
  if (const int created = createStreams(video, framesPerSecond); created != kDone) {
    return release(false, created);
  }
  framesWritten_ = 0;
  audioSamples_ = 0;
  opened_ = true;
  state_ = kRecording;
  return kDone;
}

int AviRecorder::createStreams(const AviVideoFormat& video, int framesPerSecond) {
  const AviAudioFormat sound = soundFormatFor(audioFormatIndex_, sampleRate_);
  const auto rate = static_cast<std::uint32_t>(std::max(framesPerSecond, 0));
  if (writer_.createStreams(rate, 1, &video, sampleRate_ > 0 ? &sound : nullptr) == 1) {
    return kDone;
  }
  return streamFailure(compression_choice::current().codec);
}

// The writer says why it failed; what it refused is a format, what it could
// not make is a stream (or, compressing, the encoder).
int AviRecorder::streamFailure(VideoCodec codec) {
  const StatusCode code = writer_.lastFailure().code();
  if (code == StatusCode::Unsupported || code == StatusCode::InvalidArgument) {
    if (messages_ != nullptr) {
      messages_->showMessage("Invalid codec!", "");
    }
    return kFormatRefused;
  }
  return codec == VideoCodec::Uncompressed ? kCreateStreamFailed : kCompressorFailed;
}

int AviRecorder::release(bool keepFile, int result) {
  const bool created = writer_.isOpen();
  writer_.close();
  if (created && !(keepFile && writer_.holdsAPicture())) {
    std::error_code ignored;
    std::filesystem::remove(fileName_, ignored);
  }
  fileName_.clear();
  opened_ = false;
  state_ = kIdle;
  return result;
}

template <typename Write>
int AviRecorder::guardedWrite(const void* data, Write write) {
  int expected = kRecording;
  if (!state_.compare_exchange_strong(expected, kWriting)) {
    return busyResult(expected);
  }
  int result = kNotOpened;
  if (opened_) {
    result = data == nullptr ? kNoPicture : (write() ? kWritten : 0);
  }
  state_ = kRecording;
  return result;
}

bool AviRecorder::writeImage(const std::uint8_t* image) {
  if (writer_.writeVideo(framesWritten_.load(), image) != 1) {
    return false;
  }
  ++framesWritten_;
  return true;
}

int AviRecorder::writeVideo(const std::uint8_t* picture, bool /*keyFrame*/) {
  return guardedWrite(picture, [&] { return writeImage(picture); });
}

void AviRecorder::writeFrame(const std::uint8_t* bottomUpBgr) {
  guardedWrite(bottomUpBgr, [&] {
    if (paddedFrame_.empty()) {
      return writeImage(bottomUpBgr);
    }
    const std::size_t rowBytes = static_cast<std::size_t>(width_.load()) * 3;
    const std::size_t paddedRow = paddedFrame_.size() / static_cast<std::size_t>(height_.load());
    for (int row = 0; row < height_.load(); ++row) {
      std::memcpy(paddedFrame_.data() + row * paddedRow, bottomUpBgr + row * rowBytes, rowBytes);
    }
    return writeImage(paddedFrame_.data());
  });
}

int AviRecorder::writeAudio(const std::uint8_t* packet, std::uint32_t bytes) {
  return guardedWrite(packet, [&] {
    if (writer_.writeAudio(packet, bytes) != 1) {
      return false;
    }
    audioSamples_ = writer_.audioPosition();
    return true;
  });
}

int AviRecorder::close() {
  int expected = kRecording;
  for (int look = 0; !state_.compare_exchange_strong(expected, kClosing); ++look) {
    if (expected == kIdle) {
      return kDone;
    }
    // A write that does not end within the wait keeps the writer: closing
    // under it would pull the file from beneath the worker.
    if (expected != kWriting || look == kCloseWaitLooks) {
      return busyResult(expected);
    }
    std::this_thread::sleep_for(kCloseWaitStep);
    expected = kRecording;
  }
  // A file without a picture would only be an empty clip, which players refuse.
  return release(true, kDone);
}

}  // namespace marlin
