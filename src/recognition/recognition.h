#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/codec_ids.h"
#include "base/status.h"
#include "recognition/block_evidence.h"

namespace marlin {

// Recognition reads no more than this from the start of a recording, in one
// read; the first pictures are looked for within it.
inline constexpr std::uint64_t kRecognitionBytes = 4 * 1024 * 1024;

// How to read a recording.
struct RecordingReading {
  BlockByteOrder byteOrder = BlockByteOrder::File;
  CodecVariant variant = kVariantQkt2;
  bool isDisk() const { return byteOrder == BlockByteOrder::Disk; }
};

// What the user chose; recognition leaves a chosen aspect as it is.
struct ForcedReading {
  std::optional<BlockByteOrder> byteOrder;
  std::optional<CodecVariant> variant;
};

enum class Finding { Forced, Recognised, Usual };

struct Recognition {
  RecordingReading reading;
  Finding byteOrder = Finding::Usual;
  Finding variant = Finding::Usual;
  // Variants that read the recording's blocks and pictures exactly as
  // reading.variant does; they differ in their sound only.
  std::vector<CodecVariant> readingAlike;
};

// The reading of the recording at path: what forced says, and for the rest
// what its first kRecognitionBytes show, or usual where they show nothing
// (also when the path cannot be read: opening it then fails as it would).
Recognition recogniseRecording(const std::string& path, const ForcedReading& forced, RecordingReading usual);

// Why the recording at path cannot be played read in order, or ok: it
// cannot be opened (the system's reason), or no block among its first
// kRecognitionBytes is valid, as with a file of some other kind.
Status checkPlayable(const std::string& path, BlockByteOrder order);

// One line for a person: "disk image (16-bit words swapped), codec variant 6",
// with what was forced and what was assumed said as such.
std::string describeRecognition(const Recognition& recognition);

}  // namespace marlin
