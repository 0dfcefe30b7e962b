#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "base/codec_ids.h"
#include "platform/time_zone.h"
#include "source/block_appender.h"

namespace marlin {

// Writes the frames of a DVR's live stream into a ".QKV" recording: nothing
// before the first refresh picture, picture headers converted from the live
// to the file layout, the frame interval derived from the pictures' sequence
// numbers, the last block padded when the recording ends.
//
// open and close may come from one thread while another writes: every
// operation holds the writer's lock. A failed write (a full disk) ends the
// recording at once with whole blocks on disk and keeps the reason for
// lastFailure().
class RecordingWriter {
 public:
  using Clock = std::uint32_t (*)();

  explicit RecordingWriter(Clock clock = currentUnixTime32);
  virtual ~RecordingWriter();
  RecordingWriter(const RecordingWriter&) = delete;
  RecordingWriter& operator=(const RecordingWriter&) = delete;

  // liveLayout names the picture layout of the frames handed in; only the
  // live stream's layout (2) exists.
  void setFormat(int liveLayout, CodecVariant codecVariant, int paneCount);

  // Opening while a recording is open is ignored. The file is opened by
  // openOutputFile's rules: never a recording being read, never a FIFO.
  Status open(const std::string& path);
  bool isOpen() const;
  // frame is converted in place to the file layout.
  bool writeVideo(std::uint8_t* frame, std::size_t n);
  bool writeAudio(const std::uint8_t* samples, std::size_t n);
  void close();

  // Why the last recording stopped by itself or could not start; ok if it did not.
  Status lastFailure() const;
  std::uint64_t bytesWritten() const;

 private:
  class FileSink final : public ByteSink {
   public:
    Status write(const std::uint8_t* data, std::size_t n) override;
    int fd = -1;
    std::string path;
  };

  void beginCall();
  bool append(const std::uint8_t* data, std::size_t n);
  void stopOnError(const Status& failed);
  void closeFile(bool afterWriteError);

  mutable std::mutex mutex_;
  Clock clock_;
  CodecVariant codecVariant_ = 1;
  int paneCount_ = 8;
  FileSink sink_;
  BlockAppender appender_{sink_};
  bool opened_ = false;
  bool started_ = false;
  std::uint16_t prevSequence_ = 0;
  std::uint16_t sequence_ = 0;
  int frameInterval_ = 0;
  Status lastFailure_;
};

}  // namespace marlin
