#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>

#include "base/status.h"

namespace marlin {

// open(2) that never waits for the other end of a FIFO or for a device, with
// the descriptor put back into blocking mode afterwards. Returns the
// descriptor, or -1 with errno set.
int openWithoutWaiting(const std::string& path, int flags, mode_t mode = 0);

// Writes all n bytes, retrying partial and interrupted writes; a write that
// takes nothing counts as a full disk. path only names the file in the message.
Status writeAll(int fd, const void* data, std::size_t n, const std::string& path);

// Creates or replaces the file at path with the pieces one after another,
// opened by openOutputFile's rules.
Status writeWholeFile(const std::string& path, std::initializer_list<std::span<const std::uint8_t>> pieces);

}  // namespace marlin
