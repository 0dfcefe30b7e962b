#include "export/ffmpeg_status.h"

#include <string>

#include "export/ffmpeg_functions.h"

namespace marlin {

Status ffmpegFailure(int averror, std::string_view context) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av().av_strerror(averror, text, sizeof text);
  std::string message(context);
  message.append(": ").append(text);
  // FFmpeg's own codes (bad data, no encoder, ...) are not errno values.
  const bool fromErrno = averror < 0 && averror > -4096;
  return Status::failure(fromErrno ? statusCodeForErrno(-averror) : StatusCode::IoError, std::move(message),
                         fromErrno ? -averror : 0);
}

}  // namespace marlin
