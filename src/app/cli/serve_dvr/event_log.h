#pragma once

#include <mutex>
#include <string>
#include <string_view>

namespace marlin::cli::serve_dvr {

// What the simulator saw, one JSON object per line on standard output,
// flushed at once: tests and scripts read it while the simulator runs. The
// DVR and lookup threads both write.
class EventLog {
 public:
  // fields: the members after "event", already JSON, e.g. "\"value\":132".
  void write(std::string_view event, const std::string& fields = {});

 private:
  std::mutex mutex_;
};

// text as a JSON string, quotes included; bytes outside printable ASCII as
// \u00XX (names reach us in Windows-1252).
std::string jsonString(std::string_view text);

}  // namespace marlin::cli::serve_dvr
