#include "platform/memory_file.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file_io.h"

namespace marlin {

MemoryFile::~MemoryFile() {
  if (fd_ >= 0) {
    ::close(fd_);
  }
}

Status MemoryFile::hold(std::span<const std::uint8_t> bytes) {
  if (fd_ < 0) {
    fd_ = ::memfd_create("marlin-memory-file", MFD_CLOEXEC);
    if (fd_ < 0) {
      return Status::fromErrno(errno, "memfd_create");
    }
    path_ = "/proc/self/fd/" + std::to_string(fd_);
  }
  if (::ftruncate(fd_, 0) != 0 || ::lseek(fd_, 0, SEEK_SET) != 0) {
    return Status::fromErrno(errno, "emptying " + path_);
  }
  return writeAll(fd_, bytes.data(), bytes.size(), path_);
}

}  // namespace marlin
