#include "base/status.h"

#include <cerrno>
#include <cstring>

namespace marlin {

Status::Status(StatusCode code, std::string message, int systemError)
    : code_(code), message_(std::move(message)), systemError_(systemError) {}

Status Status::failure(StatusCode code, std::string message, int systemError) {
  // A failure that claims to be ok would pass every check as a success.
  return Status(code == StatusCode::Ok ? StatusCode::IoError : code, std::move(message), systemError);
}

Status Status::fromErrno(int error, std::string_view context) {
  std::string message(context);
  message.append(": ").append(std::strerror(error));
  return failure(statusCodeForErrno(error), std::move(message), error);
}

StatusCode statusCodeForErrno(int error) {
  switch (error) {
    case EINVAL:
    case ERANGE:
    case ENAMETOOLONG:
      return StatusCode::InvalidArgument;
    case ENOENT:
    case ENOTDIR:
    case ENXIO:
    case ENODEV:
      return StatusCode::NotFound;
    case EACCES:
    case EPERM:
    case EROFS:
      return StatusCode::PermissionDenied;
    case ENOTSUP:
    case ENOTTY:
    case EISDIR:
      return StatusCode::Unsupported;
    case ENOMEM:
      return StatusCode::OutOfMemory;
    case EBUSY:
    case EAGAIN:
    case ETXTBSY:
      return StatusCode::Busy;
    default:
      return StatusCode::IoError;
  }
}

}  // namespace marlin
