// StreamSource::copyRange: saving a marked range as a recording of its own.
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "base/log.h"
#include "platform/file_io.h"
#include "platform/output_file.h"
#include "source/byte_order.h"
#include "source/stream_source.h"

namespace marlin {

using container::kBlockSize;

namespace {

constexpr std::uint64_t kMaxCopyBytes = 0x40000000;

Status refuse(std::string reason) { return Status::failure(StatusCode::InvalidArgument, std::move(reason)); }

}  // namespace

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
  const BlockDeviceOutput devices =
      target == CopyTarget::DeviceToo ? BlockDeviceOutput::Allowed : BlockDeviceOutput::Refused;
  if (Status opened = openOutputFile(outputPath, OutputOpening::Replace, devices, out); !opened) {
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
      failure =
          Status::failure(StatusCode::IoError, "the recording shrank to " + std::to_string(offset + got) +
                                                   " bytes while it was copied (it had " + std::to_string(size) + ")");
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
