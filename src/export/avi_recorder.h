#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "export/avi_formats.h"
#include "export/avi_writer.h"
#include "export/compression.h"
#include "platform/message_sink.h"
#include "render/avi_frame_sink.h"

namespace marlin {

// What AviRecorder's operations answer.
namespace avi_result {
inline constexpr int kDone = 0;
inline constexpr int kNotRecording = 100;
inline constexpr int kBusyOpening = 101;
inline constexpr int kBusyClosing = 102;
inline constexpr int kWriteInProgress = 105;
inline constexpr int kWritten = 200;
inline constexpr int kNoPicture = 206;
inline constexpr int kEmptyFileName = 302;
inline constexpr int kCompressionCancelled = 402;
inline constexpr int kNotOpened = 403;
inline constexpr int kBadGeometry = 404;
inline constexpr int kCreateFileFailed = 600;
inline constexpr int kCreateStreamFailed = 602;
inline constexpr int kCompressorFailed = 603;
inline constexpr int kFormatRefused = 606;
inline constexpr int kNoCompressor = 607;
}  // namespace avi_result

// Asked for the compression on every open; nothing means the user cancelled.
// The desktop app shows a dialog, headless callers give a fixed choice.
using CompressionChooser = std::function<std::optional<Compression>()>;
CompressionChooser fixedCompression(Compression compression);

// Records what the viewer shows into one AVI file, on top of AviWriter: the
// renderer's composed frames (as its AviFrameSink), the live loop's pictures
// and the sound packets as they come, every frame a key frame at the next
// index. open and close run on the UI thread, the writes on the engine's
// worker; the state is the guard between them, so a write never meets a
// half-opened or closing writer and a close waits for a write under way.
class AviRecorder final : public AviFrameSink {
 public:
  enum State : int { kIdle = 0, kRecording = 1, kOpening = 2, kClosing = 3, kWriting = 5 };

  explicit AviRecorder(CompressionChooser chooser, MessageSink* messages = nullptr);
  ~AviRecorder() override;
  AviRecorder(const AviRecorder&) = delete;
  AviRecorder& operator=(const AviRecorder&) = delete;

  void setChooser(CompressionChooser chooser) { chooser_ = std::move(chooser); }
  // The DVR's sound: its audio format index (1-6) and sample rate. No sound
  // stream is made while the rate is not positive.
  void setAudioFormat(int audioFormatIndex, int sampleRate);

  // pictureFormat, when given, is the stream's bitmap format instead of the
  // one made from the geometry. Answers kDone or an avi_result failure.
  int open(const std::string& fileName, int bitsPerPixel, int width, int height, const AviVideoFormat* pictureFormat,
           int framesPerSecond);
  // picture: the writer's image, bottom-up rows padded to 4 bytes. Every
  // frame is stored as a key frame, whatever keyFrame says.
  int writeVideo(const std::uint8_t* picture, bool keyFrame);
  // The packet as it came, bytes / block align samples.
  int writeAudio(const std::uint8_t* packet, std::uint32_t bytes);
  // A file that no picture reached (none written, or a full disk) is deleted.
  int close();

  int state() const { return state_.load(); }
  bool isOpened() const { return opened_.load(); }
  std::int64_t framesWritten() const { return framesWritten_.load(); }
  std::uint32_t audioSamplesWritten() const { return audioSamples_.load(); }
  // Why the last open or write failed, as the writer told; for the thread that opens.
  Status lastFailure() const { return writer_.lastFailure(); }

  // AviFrameSink: rows of exactly width x 3 bytes, padded here to the
  // writer's rows.
  int frameWidth() const override { return width_.load(); }
  int frameHeight() const override { return height_.load(); }
  void writeFrame(const std::uint8_t* bottomUpBgr) override;

 private:
  int createStreams(const AviVideoFormat& video, int framesPerSecond);
  int streamFailure(VideoCodec codec);
  // Closes the writer, deleting the file it created unless keepFile and a
  // picture reached it; back to idle.
  int release(bool keepFile, int result);
  // Runs write with the state at kWriting; the busy answer of the state
  // otherwise, kNotOpened or kNoPicture (data null) before writing.
  template <typename Write>
  int guardedWrite(const void* data, Write write);
  bool writeImage(const std::uint8_t* image);

  CompressionChooser chooser_;
  MessageSink* messages_;
  AviWriter writer_;
  std::atomic<int> state_{kIdle};
  std::atomic<bool> opened_{false};
  std::atomic<int> width_{0};
  std::atomic<int> height_{0};
  std::atomic<std::int64_t> framesWritten_{0};
  std::atomic<std::uint32_t> audioSamples_{0};
  std::string fileName_;
  std::vector<std::uint8_t> paddedFrame_;
  int audioFormatIndex_ = 1;
  int sampleRate_ = 0;
};

}  // namespace marlin
