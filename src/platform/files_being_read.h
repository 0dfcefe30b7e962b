#pragma once

#include <sys/stat.h>

namespace marlin::files_being_read {

// The files and devices this process holds open for reading (every open
// BlockFile), so that no output is opened over one of them under any name.
// Thread-safe.

// reader: an address that stands for the open file until it is removed.
void add(const void* reader, const struct stat& info);
void remove(const void* reader);
// Whether writing to what info describes would change a file being read
// (sameStorage: the file under another name, another node of its device, a
// loop device in front of it or behind it).
bool includes(const struct stat& info);

}  // namespace marlin::files_being_read
