#include "platform/block_file.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>

#include "base/log.h"
#include "platform/file_io.h"
#include "platform/files_being_read.h"

namespace marlin {

BlockFile::~BlockFile() { close(); }

Status BlockFile::open(const std::string& path) {
  close();
  const int fd = openWithoutWaiting(path, O_RDONLY);
  if (fd < 0) {
    return logged(LogLevel::Info, Status::fromErrno(errno, "cannot open " + path));
  }
  fd_ = fd;
  path_ = path;
  struct stat info {};
  if (::fstat(fd_, &info) == 0) {
    files_being_read::add(this, info);
  }
  return Status::ok();
}

void BlockFile::close() {
  if (fd_ >= 0) {
    files_being_read::remove(this);
    ::close(fd_);
    fd_ = -1;
    path_.clear();
  }
}

Status BlockFile::readAt(std::uint64_t offset, void* buffer, std::size_t n, std::size_t& got) const {
  auto* out = static_cast<unsigned char*>(buffer);
  got = 0;
  while (got < n) {
    const ssize_t part = ::pread(fd_, out + got, n - got, static_cast<off_t>(offset + got));
    if (part == 0) {
      break;
    }
    if (part < 0) {
      if (errno == EINTR) {
        continue;
      }
      return Status::fromErrno(errno, "read error at byte " + std::to_string(offset));
    }
    got += static_cast<std::size_t>(part);
  }
  return Status::ok();
}

Status BlockFile::fileInfo(struct stat& info) const {
  if (::fstat(fd_, &info) != 0) {
    return Status::fromErrno(errno, "cannot look at " + path_);
  }
  return Status::ok();
}

Status BlockFile::querySize(std::uint64_t& size) const {
  struct stat info {};
  if (Status looked = fileInfo(info); !looked) {
    return logged(LogLevel::Warning, std::move(looked));
  }
  if (S_ISREG(info.st_mode)) {
    size = static_cast<std::uint64_t>(info.st_size);
    return Status::ok();
  }
  if (S_ISBLK(info.st_mode)) {
    std::uint64_t bytes = 0;
    if (::ioctl(fd_, BLKGETSIZE64, &bytes) != 0) {
      return logged(LogLevel::Warning,
                    Status::fromErrno(errno, "cannot learn the capacity of " + path_ + " (BLKGETSIZE64)"));
    }
    size = bytes;
    return Status::ok();
  }
  return logged(LogLevel::Info, Status::failure(StatusCode::Unsupported,
                                                path_ + " is neither a regular file nor a block device", ENOTSUP));
}

Status querySizeOfPath(const std::string& path, std::uint64_t& size) {
  BlockFile file;
  if (Status opened = file.open(path); !opened) {
    return opened;
  }
  return file.querySize(size);
}

}  // namespace marlin
