// StreamSource::copyRange: saving a marked range as a recording of its own.
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/log.h"
#include "platform/file_io.h"
#include "platform/storage_identity.h"
#include "source/byte_order.h"
#include "source/stream_source.h"

namespace marlin {

using container::kBlockSize;

namespace {

constexpr std::uint64_t kMaxCopyBytes = 0x40000000;

Status refuse(std::string reason) { return Status::failure(StatusCode::InvalidArgument, std::move(reason)); }

}  // namespace

// What is at outputPath already decides whether it may be written: the check
// comes before the open, whose truncation would destroy the recording itself.
Status StreamSource::openOutput(const std::string& outputPath, CopyTarget target, int& fd) const {
  struct stat existing {};
  if (::stat(outputPath.c_str(), &existing) == 0) {
    struct stat recording {};
    if (Status looked = file_.fileInfo(recording); !looked) {
      return looked;
    }
    if (sameStorage(recording, existing)) {
      return refuse("the output file is the recording itself");
    }
    if (S_ISBLK(existing.st_mode) && target != CopyTarget::DeviceToo) {
      return refuse(outputPath + " is a block device, which is overwritten only when that is asked for");
    }
    // A FIFO would take the recording away to whoever reads it, or, with
    // nobody reading yet, fail the open with a misleading reason.
    if (S_ISFIFO(existing.st_mode)) {
      return Status::failure(StatusCode::Unsupported, outputPath + " is neither a recording file nor a disk", ENOTSUP);
    }
  }
  fd = openWithoutWaiting(outputPath, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  return fd >= 0 ? Status::ok() : Status::fromErrno(errno, "cannot create " + outputPath);
}

Status StreamSource::copyRange(std::uint64_t start, std::uint64_t end, const std::string& outputPath,
                               CopyTarget target) {
  const std::uint64_t size = getSize();
  if (!isOpen()) {
    return refuse("no recording is open");
  }
  if (start >= end) {
    return refuse("the range is empty (start must be below end)");
  }
  if (start >= size || end >= size) {
    return refuse("the range reaches past the end of the recording (" + std::to_string(size) + " bytes)");
  }
  const std::uint64_t first = container::blockStartOf(start);
  const std::uint64_t last = container::blockStartOf(end + kBlockSize - 1);
  if (last - first > kMaxCopyBytes) {
    return refuse("the range is larger than 1 GiB");
  }
  // The piece after the last whole block is not part of the recording.
  const std::uint64_t copyEnd = std::min(last, container::blockStartOf(size));
  if (first >= copyEnd) {
    return refuse("the range lies in the piece after the last whole block, which holds no recording");
  }
  int out = -1;
  if (Status opened = openOutput(outputPath, target, out); !opened) {
    return opened;
  }

  std::array<std::uint8_t, kBlockSize> copy{};
  std::uint64_t copied = 0;
  Status failure;
  for (std::uint64_t offset = first; offset < copyEnd && failure; offset += kBlockSize) {
    std::size_t got = 0;
    if (failure = file_.readAt(offset, copy.data(), kBlockSize, got); !failure) {
      break;
    }
    if (got < kBlockSize) {
      // Every block up to copyEnd was there when the recording was opened.
      failure = Status::failure(StatusCode::IoError, "the recording shrank to " + std::to_string(offset + got) +
                                                         " bytes while it was copied (it had " +
                                                         std::to_string(size) + ")");
      break;
    }
    if (isDisk_) {
      swapBytePairs(copy.data(), kBlockSize);
    }
    if (failure = writeAll(out, copy.data(), kBlockSize, outputPath); failure) {
      copied += kBlockSize;
    }
  }
  if (!failure) {
    logWarning("cut into " + outputPath + " ended after " + std::to_string(copied) + " bytes: " + failure.message());
    // Keep what was copied readable: whole blocks only.
    [[maybe_unused]] const int ignored = ::ftruncate(out, static_cast<off_t>(copied));
  }
  if (::close(out) != 0 && failure) {
    failure = Status::fromErrno(errno, "cannot write " + outputPath);
  }
  return failure;
}

}  // namespace marlin
