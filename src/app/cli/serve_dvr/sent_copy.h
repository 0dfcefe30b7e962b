#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

#include "base/status.h"

namespace marlin::cli::serve_dvr {

// The file that keeps every byte of the live streams sent, appended in
// order, so a test can compare what a client recorded with what it was sent.
// Clients are served at once: each append goes in whole.
class SentCopy {
 public:
  SentCopy() = default;
  ~SentCopy();
  SentCopy(const SentCopy&) = delete;
  SentCopy& operator=(const SentCopy&) = delete;

  // Appends to path, creating it if needed.
  Status open(const std::string& path);
  Status append(const std::uint8_t* data, std::size_t n);

 private:
  std::mutex appending_;
  int fd_ = -1;
  std::string path_;
};

}  // namespace marlin::cli::serve_dvr
