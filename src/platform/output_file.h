#pragma once

#include <string>

#include "base/status.h"

namespace marlin {

// Whether an output opened over an existing regular file starts empty or
// goes on at its end.
enum class OutputOpening { Replace, Append };
// Whether an output may be a block device (a disk, a memory card), which is
// overwritten, so it must be asked for.
enum class BlockDeviceOutput { Refused, Allowed };

// Opens path for writing the way every file this process writes is opened:
// created, or the regular file there replaced or appended to, and never
// waiting. Refused before anything is written: a name of a file this process
// is reading (files_being_read: a link, another node of its device, its loop
// device), whose truncation would destroy the recording itself, and
// anything but a regular file (a FIFO, which could wait for a reader or take
// the data away, a socket, a character device, or a block device unless
// allowed). fd: the descriptor, which the caller closes.
Status openOutputFile(const std::string& path, OutputOpening opening, BlockDeviceOutput devices, int& fd);

}  // namespace marlin
