#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/types.h>

namespace marlin {

// A read-only file or block device read with positional reads only, so that
// several threads can read one open handle without sharing a file pointer.
class BlockFile {
 public:
  BlockFile() = default;
  ~BlockFile();
  BlockFile(const BlockFile&) = delete;
  BlockFile& operator=(const BlockFile&) = delete;

  // Returns 0 or the errno of the failed open.
  int open(const std::string& path);
  void close();
  bool isOpen() const { return fd_ >= 0; }

  // Reads up to n bytes at offset, retrying short reads until end of file.
  // Returns the bytes read, or -1 with errno set on a read error.
  ssize_t readAt(std::uint64_t offset, void* buffer, std::size_t n) const;

  // Size of a regular file, or capacity of a block device. Returns 0 or the
  // errno of the failure; anything else (a directory, a pipe) is ENOTSUP.
  int querySize(std::uint64_t& size) const;

 private:
  int fd_ = -1;
};

// Size of the file or block device at path, by the same rules as
// BlockFile::querySize. Returns 0 or an errno.
int querySizeOfPath(const std::string& path, std::uint64_t& size);

}  // namespace marlin
