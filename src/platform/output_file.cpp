#include "platform/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file_io.h"
#include "platform/files_being_read.h"

namespace marlin {

namespace {

const char* kindOf(mode_t mode) {
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISSOCK(mode)) return "a socket";
  if (S_ISCHR(mode)) return "a character device";
  return "a block device";
}

// Whether what info describes may be written through path.
Status checkOutput(const std::string& path, const struct stat& info, BlockDeviceOutput devices) {
  if (files_being_read::includes(info)) {
    return Status::failure(StatusCode::InvalidArgument, path + " is the recording itself");
  }
  // A folder fails the open itself, with the system's own reason.
  if (S_ISREG(info.st_mode) || S_ISDIR(info.st_mode) ||
      (S_ISBLK(info.st_mode) && devices == BlockDeviceOutput::Allowed)) {
    return Status::ok();
  }
  std::string why = path + " is " + kindOf(info.st_mode) + ", not a regular file";
  if (S_ISBLK(info.st_mode)) why += "; a disk is written over only when that is asked for";
  return Status::failure(StatusCode::Unsupported, why, ENOTSUP);
}

}  // namespace

Status openOutputFile(const std::string& path, OutputOpening opening, BlockDeviceOutput devices, int& fd) {
  fd = -1;
  // Looked at before the open too, which a FIFO could otherwise turn into a wait or a refusal for a reason that
  // misleads.
  struct stat existing {};
  if (::stat(path.c_str(), &existing) == 0) {
    if (Status allowed = checkOutput(path, existing, devices); !allowed) return allowed;
  }
  // Emptied only once the file opened has been checked as well: the name may have changed hands since.
  const int opened =
      openWithoutWaiting(path, O_WRONLY | O_CREAT | (opening == OutputOpening::Append ? O_APPEND : 0), 0644);
  if (opened < 0) return Status::fromErrno(errno, "cannot create " + path);
  struct stat info {};
  Status allowed = ::fstat(opened, &info) == 0 ? checkOutput(path, info, devices)
                                               : Status::fromErrno(errno, "cannot look at " + path);
  if (allowed && opening == OutputOpening::Replace && S_ISREG(info.st_mode) && ::ftruncate(opened, 0) != 0) {
    allowed = Status::fromErrno(errno, "cannot empty " + path);
  }
  if (!allowed) {
    ::close(opened);
    return allowed;
  }
  fd = opened;
  return Status::ok();
}

}  // namespace marlin
