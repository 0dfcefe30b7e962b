#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/status.h"
#include "export/avi_formats.h"
#include "export/timed_text.h"

namespace marlin {

// How a file's pictures are timed.
enum class PictureTiming {
  // Every picture lasts scale / rate seconds; frame indexes count them.
  ConstantRate,
  // Each picture is shown at its own millisecond (MP4 and Matroska only).
  Milliseconds,
};

// Writes one AVI file: one video stream in the process-wide compression
// (export/compression_choice.h) and an optional PCM or A-law sound stream, through
// FFmpeg's AVI muxer (OpenDML past 1 GiB). A path ending in .mkv or .mp4
// makes a Matroska or MP4 file of the same streams instead; those take
// compressed video only, and MP4's sound is encoded to AAC. Any other
// extension, or none, is refused. MP4 files are written in fragments, each
// playable once written, so that an export cut short (killed, the power
// gone) leaves a file players take; close() then rewrites the file with
// its index first, so that it plays while it downloads, and keeps the
// fragments should that fail. Operations answer 1 or 0. Any
// failure sets the error flag, which fails every later write until the next
// close or open; lastFailure() says why. Not thread-safe: one thread drives
// a writer.
class AviWriter {
 public:
  // Resets the process-wide compression to uncompressed 24-bit frames.
  AviWriter();
  ~AviWriter();
  AviWriter(const AviWriter&) = delete;
  AviWriter& operator=(const AviWriter&) = delete;

  // Creates the file (closing any open one first) by openOutputFile's rules:
  // never over a recording being read, never into a FIFO or a device. The
  // video format returns to 640 x 224 x 24.
  int open(const std::string& path);
  // Before createStreams. Milliseconds: writeVideo's times are milliseconds,
  // and rate / scale only the pictures a second about, for the encoder.
  int setPictureTiming(PictureTiming timing);
  // Before createStreams: the file's creation_time (MP4 and Matroska), as
  // "YYYY-MM-DDThh:mm:ss.000000Z".
  void setCreationTime(const std::string& utc);
  // Before createStreams: a timed-text track (MP4 and Matroska) that
  // writeTimeText fills.
  void addTimeTrack() { timeTrack_ = true; }
  // The file plays at rate / scale frames a second. A null video format keeps
  // the current one; a null audio format makes no sound stream. A sound
  // format that cannot be stored still leaves the video stream made, but the
  // error flag set.
  int createStreams(std::uint32_t rate, std::uint32_t scale, const AviVideoFormat* video, const AviAudioFormat* audio);
  // image: videoFormat().imageSize bytes, bottom-up rows padded to 4 bytes,
  // shown at `at` (a frame index, or a millisecond) for `duration` of the
  // same units, or until the next picture when that comes first. Times
  // only grow; skipped ones play as repeats of the picture before.
  int writeVideo(std::int64_t at, const std::uint8_t* image, std::int64_t duration = 1);
  // A text shown from millisecond `at` for `duration` ms; 1, nothing
  // written, without a time track.
  int writeTimeText(std::int64_t at, std::int64_t duration, std::string_view text);
  // Without a sound stream: 1, nothing written. Otherwise writes all the
  // bytes, counting bytes / block align samples.
  int writeAudio(const std::uint8_t* data, std::uint32_t bytes);
  // Finishes the file and clears the error flag.
  void close();

  bool isOpen() const;
  // Whether a whole picture has reached the file: the first one is pushed
  // through to it as soon as it is written. Kept after close until the next
  // open, so that a file without one can be removed.
  bool holdsAPicture() const;
  bool failed() const { return failed_; }
  std::uint32_t audioPosition() const { return audioPosition_; }
  const AviVideoFormat& videoFormat() const { return videoFormat_; }
  Status lastFailure() const { return lastFailure_; }

 private:
  struct Muxer;

  int fail(Status failure);

  std::unique_ptr<Muxer> muxer_;
  AviVideoFormat videoFormat_;
  AviAudioFormat audioFormat_;
  std::uint32_t audioPosition_ = 0;
  PictureTiming timing_ = PictureTiming::ConstantRate;
  std::string creationTime_;
  bool timeTrack_ = false;
  std::vector<std::uint8_t> textBytes_;
  // An MP4 file's texts, written when it is rewritten in one piece.
  std::vector<TimedText> texts_;
  bool audioEnabled_ = false;
  bool failed_ = false;
  bool pictureStored_ = false;
  Status lastFailure_;
};

}  // namespace marlin
