#include "evidence/small_file.h"

#include "platform/block_file.h"

namespace marlin::evidence {

Status readSmallFile(const std::string& path, std::size_t limit, std::string& bytes) {
  BlockFile file;
  if (Status opened = file.open(path); !opened) {
    return opened;
  }
  std::uint64_t size = 0;
  if (const Status sized = file.querySize(size); !sized) {
    return Status::failure(sized.code(), "cannot read " + path + ": " + sized.message(), sized.systemError());
  }
  if (size > limit) {
    return Status::failure(StatusCode::BadData, path + " is " + std::to_string(size) + " bytes, more than the " +
                                                    std::to_string(limit) + " such a file may have");
  }
  bytes.resize(size);
  std::size_t got = 0;
  if (const Status read = file.readAt(0, bytes.data(), bytes.size(), got); !read) {
    return Status::failure(read.code(), "cannot read " + path + ": " + read.message(), read.systemError());
  }
  bytes.resize(got);
  return Status::ok();
}

}  // namespace marlin::evidence
