#include "app/cli/serve_dvr/sent_copy.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file_io.h"

namespace marlin::cli::serve_dvr {

SentCopy::~SentCopy() {
  if (fd_ >= 0) {
    ::close(fd_);
  }
}

Status SentCopy::open(const std::string& path) {
  path_ = path;
  fd_ = openWithoutWaiting(path, O_WRONLY | O_CREAT | O_APPEND, 0644);
  return fd_ >= 0 ? Status::ok() : Status::fromErrno(errno, "cannot write " + path);
}

Status SentCopy::append(const std::uint8_t* data, std::size_t n) {
  std::lock_guard guard(appending_);
  return writeAll(fd_, data, n, path_);
}

}  // namespace marlin::cli::serve_dvr
