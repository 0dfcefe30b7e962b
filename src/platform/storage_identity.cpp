#include "platform/storage_identity.h"

#include <sys/sysmacros.h>

#include <fstream>
#include <optional>

namespace marlin {

namespace {

bool sameNode(const struct stat& a, const struct stat& b) {
  if (a.st_dev == b.st_dev && a.st_ino == b.st_ino) {
    return true;
  }
  // Device nodes made with mknod anywhere share the device, not the inode.
  return S_ISBLK(a.st_mode) && S_ISBLK(b.st_mode) && a.st_rdev == b.st_rdev;
}

// The file an attached loop device reads and writes.
std::optional<struct stat> loopBackingFile(const struct stat& info, const std::string& sysDevBlock) {
  if (!S_ISBLK(info.st_mode)) {
    return std::nullopt;
  }
  const std::string entry = sysDevBlock + "/" + std::to_string(major(info.st_rdev)) + ":" +
                            std::to_string(minor(info.st_rdev)) + "/loop/backing_file";
  std::ifstream in(entry);
  std::string path;
  struct stat backing {};
  // A deleted backing file shows as "PATH (deleted)", which stat does not find.
  if (!std::getline(in, path) || ::stat(path.c_str(), &backing) != 0) {
    return std::nullopt;
  }
  return backing;
}

}  // namespace

bool sameStorage(const struct stat& a, const struct stat& b, const std::string& sysDevBlock) {
  if (sameNode(a, b)) {
    return true;
  }
  const std::optional<struct stat> behindA = loopBackingFile(a, sysDevBlock);
  const std::optional<struct stat> behindB = loopBackingFile(b, sysDevBlock);
  return (behindA && sameNode(*behindA, b)) || (behindB && sameNode(a, *behindB)) ||
         (behindA && behindB && sameNode(*behindA, *behindB));
}

}  // namespace marlin
