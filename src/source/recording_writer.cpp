#include "source/recording_writer.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "base/log.h"
#include "platform/file_io.h"
#include "platform/output_file.h"
#include "source/container.h"

namespace marlin {

namespace {

constexpr std::uint8_t kRefreshFlag = 0x80;
constexpr std::size_t kLivePictureHeadSize = 7;  // start code, fields byte, sequence number
constexpr std::uint8_t kAudioStartCode[4] = {0x00, 0x00, 0x01, container::kFirstAudioId};

bool shiftsHeaderForFiles(CodecVariant variant) { return variant != kVariantQk4 && variant != kVariantQkn; }

}  // namespace

Status RecordingWriter::FileSink::write(const std::uint8_t* data, std::size_t n) { return writeAll(fd, data, n, path); }

RecordingWriter::RecordingWriter(Clock clock) : clock_(clock) {}

RecordingWriter::~RecordingWriter() { close(); }

void RecordingWriter::setFormat(int /*liveLayout*/, CodecVariant codecVariant, int paneCount) {
  const std::lock_guard lock(mutex_);
  codecVariant_ = codecVariant;
  paneCount_ = paneCount;
}

Status RecordingWriter::open(const std::string& path) {
  const std::lock_guard lock(mutex_);
  if (opened_) {
    return Status::ok();
  }
  appender_.restart();
  started_ = false;
  lastFailure_ = Status::ok();
  sink_.path = path;
  if (Status created = openOutputFile(path, OutputOpening::Replace, BlockDeviceOutput::Refused, sink_.fd); !created) {
    lastFailure_ = logged(LogLevel::Warning, std::move(created));
  }
  opened_ = sink_.fd >= 0;
  return lastFailure_;
}

bool RecordingWriter::isOpen() const {
  const std::lock_guard lock(mutex_);
  return opened_;
}

Status RecordingWriter::lastFailure() const {
  const std::lock_guard lock(mutex_);
  return lastFailure_;
}

std::uint64_t RecordingWriter::bytesWritten() const {
  const std::lock_guard lock(mutex_);
  return appender_.written();
}

void RecordingWriter::beginCall() { appender_.setHeader(clock_(), 1, isBigEndianVariant(codecVariant_)); }

bool RecordingWriter::append(const std::uint8_t* data, std::size_t n) {
  const Status appended = appender_.append(data, n, static_cast<std::uint8_t>(frameInterval_));
  if (!appended) {
    stopOnError(appended);
  }
  return appended.isOk();
}

bool RecordingWriter::writeVideo(std::uint8_t* frame, std::size_t n) {
  const std::lock_guard lock(mutex_);
  if (!opened_ || n < kLivePictureHeadSize) {
    return false;
  }
  const bool refresh = (frame[4] & kRefreshFlag) != 0;
  if (refresh) {
    started_ = true;
  }
  prevSequence_ = sequence_;
  sequence_ = static_cast<std::uint16_t>(frame[5] << 8 | frame[6]);
  const auto step = static_cast<std::uint16_t>(sequence_ - prevSequence_);
  frameInterval_ = step > 1 ? step : 1;

  if (shiftsHeaderForFiles(codecVariant_)) {
    if (refresh) {
      frame[3] = container::kRefreshVideoId;
    }
    frame[4] = static_cast<std::uint8_t>(frame[4] << 1);
  }
  if (paneCount_ == 16) {
    frame[4] &= 0xF0;
    frame[5] &= 0x07;
  }
  if (!started_) {
    return false;
  }
  beginCall();
  return append(frame, n);
}

bool RecordingWriter::writeAudio(const std::uint8_t* samples, std::size_t n) {
  const std::lock_guard lock(mutex_);
  if (!opened_ || !started_) {
    return false;
  }
  beginCall();
  return append(kAudioStartCode, sizeof kAudioStartCode) && append(samples, n);
}

void RecordingWriter::stopOnError(const Status& failed) {
  lastFailure_ = logged(LogLevel::Warning,
                        Status::failure(failed.code(), "recording stopped: " + failed.message(), failed.systemError()));
  closeFile(true);
}

// Pads to a whole block and closes. After a failed write the file may end
// anywhere and the disk may be full: it is extended to whole blocks instead,
// which needs no free space. Either way every block in the file is whole and
// what was written stays readable.
void RecordingWriter::closeFile(bool afterWriteError) {
  if (afterWriteError || !appender_.padToBlock()) {
    struct stat info {};
    if (::fstat(sink_.fd, &info) == 0) {
      const auto blocks =
          (static_cast<std::uint64_t>(info.st_size) + container::kBlockSize - 1) / container::kBlockSize;
      if (::ftruncate(sink_.fd, static_cast<off_t>(blocks * container::kBlockSize)) != 0 && lastFailure_) {
        lastFailure_ =
            logged(LogLevel::Warning, Status::fromErrno(errno, "cannot complete the last block of " + sink_.path));
      }
    }
  }
  if (::close(sink_.fd) != 0 && lastFailure_) {
    lastFailure_ = logged(LogLevel::Warning, Status::fromErrno(errno, "cannot write " + sink_.path));
  }
  sink_.fd = -1;
  opened_ = false;
}

void RecordingWriter::close() {
  const std::lock_guard lock(mutex_);
  if (opened_) {
    closeFile(false);
  }
}

}  // namespace marlin
