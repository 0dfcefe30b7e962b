#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/status.h"

namespace marlin::evidence {

// A file's SHA-256 as hex text and the bytes it was taken over, or why the
// file could not be read (the failure names the file; a missing one is
// NotFound, anything but a regular file Unsupported).
struct FileDigest {
  Status status;
  std::uint64_t size = 0;
  std::string sha256;
};

// hashedBytes, when given, grows by what has been hashed so far, for another
// thread to show.
FileDigest digestFile(const std::string& path, std::atomic<std::uint64_t>* hashedBytes = nullptr);

// Called on the calling thread now and then while files are hashed, and once
// at the end: bytes hashed so far of the total the files had when hashing began.
using HashingProgress = std::function<void(std::uint64_t hashed, std::uint64_t total)>;

// Every file's digest, in the order of paths, hashed on threads workers
// (0: one per core), the largest files first so that the last to finish is
// not a large one begun late.
std::vector<FileDigest> digestFiles(const std::vector<std::string>& paths, unsigned threads,
                                    const HashingProgress& progress = {});

}  // namespace marlin::evidence
