#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/status.h"

namespace marlin {

// A read-only file or block device read with positional reads only, so that
// several threads can read one open handle without sharing a file pointer.
// While open it counts among the files being read, which no output may be
// opened over (openOutputFile).
class BlockFile {
 public:
  BlockFile() = default;
  ~BlockFile();
  BlockFile(const BlockFile&) = delete;
  BlockFile& operator=(const BlockFile&) = delete;

  // Never waits: a FIFO without a writer opens at once and is refused by
  // querySize, where a plain open would block until someone writes.
  Status open(const std::string& path);
  void close();
  bool isOpen() const { return fd_ >= 0; }

  // Reads up to n bytes at offset into got, retrying short reads until end of
  // file; got is below n only at the end of the file or on a failure.
  Status readAt(std::uint64_t offset, void* buffer, std::size_t n, std::size_t& got) const;

  // Size of a regular file, or capacity of a block device; anything else (a
  // directory, a pipe) is Unsupported with ENOTSUP.
  Status querySize(std::uint64_t& size) const;
  Status fileInfo(struct stat& info) const;

 private:
  int fd_ = -1;
  std::string path_;
};

// Size of the file or block device at path, by the same rules as
// BlockFile::querySize.
Status querySizeOfPath(const std::string& path, std::uint64_t& size);

}  // namespace marlin
