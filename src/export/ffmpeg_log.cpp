#include "export/ffmpeg_log.h"

#include <cstdarg>
#include <mutex>
#include <string_view>

#include "base/log.h"
#include "export/ffmpeg_functions.h"

namespace marlin {

namespace {

LogLevel levelOf(int ffmpegLevel) {
  if (ffmpegLevel <= AV_LOG_ERROR) return LogLevel::Error;
  if (ffmpegLevel <= AV_LOG_WARNING) return LogLevel::Warning;
  if (ffmpegLevel <= AV_LOG_INFO) return LogLevel::Info;
  return LogLevel::Debug;
}

void forward(void* context, int ffmpegLevel, const char* format, std::va_list arguments) {
  if (ffmpegLevel > AV_LOG_DEBUG || !logEnabled(levelOf(ffmpegLevel))) return;
  char line[1024];
  int printPrefix = 1;
  av().av_log_format_line2(context, ffmpegLevel, format, arguments, line, sizeof line, &printPrefix);
  std::string_view message(line);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) message.remove_suffix(1);
  if (!message.empty()) logMessage(levelOf(ffmpegLevel), message);
}

}  // namespace

void routeFfmpegLogOnce() {
  static std::once_flag installed;
  std::call_once(installed, [] { av().av_log_set_callback(forward); });
}

}  // namespace marlin
