#include "app/cli/serve_dvr/event_log.h"

#include <cstdio>

namespace marlin::cli::serve_dvr {

void EventLog::write(std::string_view event, const std::string& fields) {
  const std::string line = "{\"event\":" + jsonString(event) + (fields.empty() ? std::string() : "," + fields) + "}\n";
  const std::lock_guard lock(mutex_);
  std::fputs(line.c_str(), stdout);
  std::fflush(stdout);
}

std::string jsonString(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20 || byte >= 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04X", byte);
      out += escaped;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

}  // namespace marlin::cli::serve_dvr
