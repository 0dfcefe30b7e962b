#pragma once

#include <sys/stat.h>

#include <string>

namespace marlin {

// Whether writing through one of two stat'ed paths would change what is read
// through the other: one file under two names, two device nodes of one
// device, or a loop device and the file behind it (as sysDevBlock, the
// kernel's /sys/dev/block, tells).
bool sameStorage(const struct stat& a, const struct stat& b, const std::string& sysDevBlock = "/sys/dev/block");

}  // namespace marlin
