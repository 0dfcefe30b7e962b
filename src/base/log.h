#pragma once

#include <optional>
#include <string_view>

#include "base/status.h"

namespace marlin {

// Diagnostics for developers, apart from the messages users see (those go
// through MessageSink). Quiet unless a level is set: by MARLIN_LOG in the
// environment (error, warning, info or debug) or by setLogLevel. Every
// function may be called from any thread.
enum class LogLevel { Error, Warning, Info, Debug };

class LogSink {
 public:
  virtual ~LogSink() = default;
  // Called under the log's lock, one whole message at a time.
  virtual void write(LogLevel level, std::string_view message) = 0;
};

std::optional<LogLevel> parseLogLevel(std::string_view text);
std::string_view logLevelName(LogLevel level);

// The most detailed level written; nullopt writes nothing.
void setLogLevel(std::optional<LogLevel> level);
bool logEnabled(LogLevel level);

// nullptr restores the default sink, which prints "marlin: LEVEL: message"
// lines on standard error. The sink must outlive its use.
void setLogSink(LogSink* sink);

void logMessage(LogLevel level, std::string_view message);
inline void logError(std::string_view message) { logMessage(LogLevel::Error, message); }
inline void logWarning(std::string_view message) { logMessage(LogLevel::Warning, message); }
inline void logInfo(std::string_view message) { logMessage(LogLevel::Info, message); }
inline void logDebug(std::string_view message) { logMessage(LogLevel::Debug, message); }

// Logs the failure's message and hands the failure on, for the places that
// tell developers about a failure they return.
inline Status logged(LogLevel level, Status failure) {
  logMessage(level, failure.message());
  return failure;
}

}  // namespace marlin
