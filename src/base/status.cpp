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
  struct Kind {
    int error;
    StatusCode code;
  };
  static constexpr Kind kKinds[] = {
      {EINVAL, StatusCode::InvalidArgument},
      {ERANGE, StatusCode::InvalidArgument},
      {ENAMETOOLONG, StatusCode::InvalidArgument},
      {ENOENT, StatusCode::NotFound},
      {ENOTDIR, StatusCode::NotFound},
      {ENXIO, StatusCode::NotFound},
      {ENODEV, StatusCode::NotFound},
      {EACCES, StatusCode::PermissionDenied},
      {EPERM, StatusCode::PermissionDenied},
      {EROFS, StatusCode::PermissionDenied},
      {ENOTSUP, StatusCode::Unsupported},
      {ENOTTY, StatusCode::Unsupported},
      {EISDIR, StatusCode::Unsupported},
      {ENOMEM, StatusCode::OutOfMemory},
      {EBUSY, StatusCode::Busy},
      {EAGAIN, StatusCode::Busy},
      {ETXTBSY, StatusCode::Busy},
  };
  for (const Kind& kind : kKinds) {
    if (kind.error == error) {
      return kind.code;
    }
  }
  return StatusCode::IoError;
}

}  // namespace marlin
