#include "app/cli/serve_dvr/sent_copy.h"

#include <unistd.h>

#include "platform/file_io.h"
#include "platform/output_file.h"

namespace marlin::cli::serve_dvr {

SentCopy::~SentCopy() {
  if (fd_ >= 0) {
    ::close(fd_);
  }
}

Status SentCopy::open(const std::string& path) {
  path_ = path;
  return openOutputFile(path, OutputOpening::Append, BlockDeviceOutput::Refused, fd_);
}

Status SentCopy::append(const std::uint8_t* data, std::size_t n) {
  std::lock_guard guard(appending_);
  return writeAll(fd_, data, n, path_);
}

}  // namespace marlin::cli::serve_dvr
