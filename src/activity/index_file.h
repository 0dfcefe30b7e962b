#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "activity/activity_index.h"
#include "base/status.h"
#include "recognition/recognition.h"

namespace marlin::activity {

// What tells one recording from another, and whether it changed since it
// was indexed: the file (device and inode) or the disk (its serial number
// where the system gives one), how it is read, its size and modification
// time, and hashes of its first block and of its last whole block.
struct RecordingIdentity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::string serial;
  std::uint8_t variant = 0;
  std::uint8_t byteOrder = 0;
  std::uint64_t size = 0;
  std::int64_t modifiedNs = 0;
  std::uint64_t headHash = 0;
  std::uint64_t tailOffset = 0;  // where the last whole block begins
  std::uint64_t tailHash = 0;

  friend bool operator==(const RecordingIdentity&, const RecordingIdentity&) = default;
};

Status identifyRecording(const std::string& path, const RecordingReading& reading, RecordingIdentity& out);

// The hash of the block at offset (a block's bytes, or fewer at the end).
std::optional<std::uint64_t> blockHash(const std::string& path, std::uint64_t offset);

// A 64-bit FNV-1a hash.
std::uint64_t hashBytes(const std::uint8_t* data, std::size_t n, std::uint64_t seed = 0xcbf29ce484222325ull);

struct StoredIndex {
  RecordingIdentity identity;
  ActivityIndex index;
};

// The file that keeps an index: a magic word, the format version, the
// identity, the index (positions and times as differences, in variable
// length numbers) and a checksum of all before it.
std::vector<std::uint8_t> encodeIndexFile(const StoredIndex& stored);

// Nothing unless the bytes are a whole index file of this version whose
// checksum holds and whose every field is in range.
std::optional<StoredIndex> decodeIndexFile(const std::uint8_t* data, std::size_t size);

}  // namespace marlin::activity
