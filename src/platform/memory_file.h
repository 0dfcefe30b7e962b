#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "base/status.h"

namespace marlin {

// Bytes held in memory behind a path that anything opening files by name can
// read: what has been read once from a slow disk can be read again, as a
// file of its own, without going back to the disk.
class MemoryFile {
 public:
  MemoryFile() = default;
  ~MemoryFile();
  MemoryFile(const MemoryFile&) = delete;
  MemoryFile& operator=(const MemoryFile&) = delete;

  // Replaces what the file holds.
  Status hold(std::span<const std::uint8_t> bytes);
  // Valid while the object lives, after a successful hold.
  const std::string& path() const { return path_; }

 private:
  int fd_ = -1;
  std::string path_;
};

}  // namespace marlin
