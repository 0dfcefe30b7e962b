#include "platform/file_io.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/output_file.h"

namespace marlin {

int openWithoutWaiting(const std::string& path, int flags, mode_t mode) {
  int fd;
  do {
    fd = ::open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC, mode);
  } while (fd < 0 && errno == EINTR);
  if (fd >= 0) {
    // Reads and writes may wait as usual; only the open must not.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  }
  return fd;
}

Status writeAll(int fd, const void* data, std::size_t n, const std::string& path) {
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  while (n > 0) {
    const ssize_t put = ::write(fd, bytes, n);
    if (put < 0 && errno == EINTR) {
      continue;
    }
    if (put <= 0) {
      return Status::fromErrno(put < 0 ? errno : ENOSPC, "cannot write " + path);
    }
    bytes += put;
    n -= static_cast<std::size_t>(put);
  }
  return Status::ok();
}

Status writeWholeFile(const std::string& path, std::initializer_list<std::span<const std::uint8_t>> pieces) {
  int fd = -1;
  if (Status opened = openOutputFile(path, OutputOpening::Replace, BlockDeviceOutput::Refused, fd); !opened) {
    return opened;
  }
  Status written;
  for (const std::span<const std::uint8_t> piece : pieces) {
    if (written = writeAll(fd, piece.data(), piece.size(), path); !written) {
      break;
    }
  }
  if (::close(fd) != 0 && written) {
    written = Status::fromErrno(errno, "cannot write " + path);
  }
  return written;
}

}  // namespace marlin
