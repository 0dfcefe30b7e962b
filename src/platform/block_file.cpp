#include "platform/block_file.h"

#include <cerrno>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace marlin {

BlockFile::~BlockFile() { close(); }

int BlockFile::open(const std::string& path) {
  close();
  int fd;
  do {
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    return errno;
  }
  fd_ = fd;
  return 0;
}

void BlockFile::close() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

ssize_t BlockFile::readAt(std::uint64_t offset, void* buffer, std::size_t n) const {
  auto* out = static_cast<unsigned char*>(buffer);
  std::size_t done = 0;
  while (done < n) {
    const ssize_t got = ::pread(fd_, out + done, n - done, static_cast<off_t>(offset + done));
    if (got == 0) {
      break;
    }
    if (got < 0) {
      if (errno == EINTR) {
        continue;
      }
      return -1;
    }
    done += static_cast<std::size_t>(got);
  }
  return static_cast<ssize_t>(done);
}

int BlockFile::querySize(std::uint64_t& size) const {
  struct stat info {};
  if (::fstat(fd_, &info) != 0) {
    return errno;
  }
  if (S_ISREG(info.st_mode)) {
    size = static_cast<std::uint64_t>(info.st_size);
    return 0;
  }
  if (S_ISBLK(info.st_mode)) {
    std::uint64_t bytes = 0;
    if (::ioctl(fd_, BLKGETSIZE64, &bytes) != 0) {
      return errno;
    }
    size = bytes;
    return 0;
  }
  return ENOTSUP;
}

int querySizeOfPath(const std::string& path, std::uint64_t& size) {
  BlockFile file;
  if (const int error = file.open(path); error != 0) {
    return error;
  }
  return file.querySize(size);
}

}  // namespace marlin
