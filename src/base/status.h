#pragma once

#include <string>
#include <string_view>

namespace marlin {

// What kind of failure a Status is, for callers that act on the kind rather
// than show the message.
enum class StatusCode {
  Ok,
  InvalidArgument,
  NotFound,
  PermissionDenied,
  IoError,
  BadData,
  Unsupported,
  OutOfMemory,
  Busy,
  Cancelled,
};

// The outcome of an operation at a library boundary: ok, or a failure with a
// one-line reason a person can read and, when the system gave one, its errno.
// Returned instead of keeping a last-error field per object, so that a reason
// cannot be read after another call has replaced it.
class [[nodiscard]] Status {
 public:
  Status() = default;

  static Status ok() { return {}; }
  static Status failure(StatusCode code, std::string message, int systemError = 0);
  // "context: strerror(error)", its code derived from error.
  static Status fromErrno(int error, std::string_view context);

  bool isOk() const { return code_ == StatusCode::Ok; }
  explicit operator bool() const { return isOk(); }
  StatusCode code() const { return code_; }
  const std::string& message() const { return message_; }
  // The errno the failure came from, 0 when it did not come from one.
  int systemError() const { return systemError_; }

 private:
  Status(StatusCode code, std::string message, int systemError);

  StatusCode code_ = StatusCode::Ok;
  std::string message_;
  int systemError_ = 0;
};

StatusCode statusCodeForErrno(int error);

}  // namespace marlin
