#include "evidence/file_digests.h"

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <numeric>

#include "evidence/sha256.h"
#include "platform/block_file.h"
#include "platform/task_pool.h"

namespace marlin::evidence {

namespace {

// Large enough that the system's read-ahead, not the calls, sets the pace.
constexpr std::size_t kReadBytes = 1u << 20;
constexpr auto kProgressInterval = std::chrono::milliseconds(100);

}  // namespace

FileDigest digestFile(const std::string& path, std::atomic<std::uint64_t>* hashedBytes) {
  FileDigest digest;
  BlockFile file;
  if (Status opened = file.open(path); !opened) {
    digest.status = std::move(opened);
    return digest;
  }
  // A device or a FIFO in a file's place (a link to /dev/zero) could be read
  // without end.
  struct stat info {};
  if (Status looked = file.fileInfo(info); !looked || !S_ISREG(info.st_mode)) {
    digest.status = looked ? Status::failure(StatusCode::Unsupported, path + " is not a regular file") : looked;
    return digest;
  }
  Sha256 sha;
  std::vector<std::uint8_t> buffer(kReadBytes);
  for (;;) {
    std::size_t got = 0;
    if (const Status read = file.readAt(digest.size, buffer.data(), buffer.size(), got); !read) {
      digest.status = Status::failure(read.code(), "cannot read " + path + ": " + read.message(), read.systemError());
      return digest;
    }
    sha.add(std::span(buffer.data(), got));
    digest.size += got;
    if (hashedBytes != nullptr) {
      hashedBytes->fetch_add(got, std::memory_order_relaxed);
    }
    if (got < buffer.size()) {
      break;
    }
  }
  digest.sha256 = hexText(sha.finish());
  return digest;
}

std::vector<FileDigest> digestFiles(const std::vector<std::string>& paths, unsigned threads,
                                    const HashingProgress& progress) {
  std::vector<std::uint64_t> sizes(paths.size(), 0);
  for (std::size_t i = 0; i < paths.size(); ++i) {
    // A file that cannot be sized fails when it is hashed, which says why.
    static_cast<void>(querySizeOfPath(paths[i], sizes[i]));
  }
  const std::uint64_t total = std::accumulate(sizes.begin(), sizes.end(), std::uint64_t{0});
  std::vector<std::size_t> order(paths.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(), [&sizes](std::size_t a, std::size_t b) { return sizes[a] > sizes[b]; });

  std::vector<FileDigest> digests(paths.size());
  std::atomic<std::uint64_t> hashed{0};
  {
    // Room for every file, so that adding never waits and progress is
    // reported from the start.
    TaskPool pool(threads, std::max<std::size_t>(paths.size(), 1));
    for (const std::size_t i : order) {
      pool.add([&digests, &paths, &hashed, i] { digests[i] = digestFile(paths[i], &hashed); });
    }
    while (!pool.waitFor(kProgressInterval)) {
      if (progress) {
        progress(hashed.load(std::memory_order_relaxed), total);
      }
    }
  }
  if (progress) {
    progress(hashed.load(std::memory_order_relaxed), total);
  }
  return digests;
}

}  // namespace marlin::evidence
