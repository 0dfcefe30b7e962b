#pragma once

// The stream source fuzz target's input layout, shared by the target, which
// decodes it, and the seed generator, which encodes it.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace marlin::fuzzinput {

inline constexpr std::size_t kPreambleSize = 5;
inline constexpr std::size_t kOpSize = 4;
inline constexpr unsigned kMaxOps = 64;

enum Flag : std::uint8_t {
  kDisk = 1u << 0,
  kBigEndian = 1u << 1,
  kRepairChecks = 1u << 2,
  // Frames longer than the frame buffer need more than 32 blocks, far more
  // than inputs should carry: this inserts that many blocks of filler.
  kStretch = 1u << 3,
  kZeroFiller = 1u << 4,
  // Two bits: the blocks one read of the source brings in, from
  // kReadAheadBlocks; small spans end inside small inputs too.
  kReadAheadBits = 3u << 5,
};

inline constexpr unsigned kReadAheadShift = 5;
// 0: the source's own choice.
inline constexpr std::size_t kReadAheadBlocks[] = {0, 1, 2, 5};

// Blocks of filler a stretch inserts at least; 33 payloads exceed the frame
// buffer.
inline constexpr std::size_t kMinStretchBlocks = 33;

enum class OpKind : std::uint8_t {
  ReadNext = 0,
  ReadPrevious = 1,
  SetPosition = 2,
  SetPositionToEnd = 3,
  MarkAndRead = 4,
  ReadNextRepeated = 5,
  ReadPreviousRepeated = 6,
  ReadFromMark = 7,
};
inline constexpr unsigned kOpKinds = 8;

struct Op {
  OpKind kind;
  std::uint8_t a;
  std::uint8_t b;
  std::uint8_t c;
};

struct Input {
  bool isDisk = false;
  bool bigEndian = false;
  int codecVariant = 0;
  bool repairChecks = false;
  std::uint8_t kernelIndex = 0;
  std::uint8_t spoilMask = 0;
  // With kStretch: after block (stretch & 31) % blocks go kMinStretchBlocks +
  // (stretch >> 5) copies of its header with a payload of one repeated byte.
  bool stretch = false;
  bool zeroFiller = false;
  std::uint8_t stretchAt = 0;
  std::size_t readAheadBlocks = 0;
  std::vector<Op> ops;
  const std::uint8_t* recording = nullptr;
  std::size_t recordingSize = 0;
};

inline std::optional<Input> parse(const std::uint8_t* data, std::size_t size) {
  if (size < kPreambleSize) {
    return std::nullopt;
  }
  Input input;
  const std::uint8_t flags = data[0];
  input.isDisk = (flags & kDisk) != 0;
  input.bigEndian = (flags & kBigEndian) != 0;
  // Only variant 6 changes how the container is read.
  input.codecVariant = input.bigEndian ? 6 : 4;
  input.repairChecks = (flags & kRepairChecks) != 0;
  input.stretch = (flags & kStretch) != 0;
  input.zeroFiller = (flags & kZeroFiller) != 0;
  input.readAheadBlocks = kReadAheadBlocks[(flags & kReadAheadBits) >> kReadAheadShift];
  input.kernelIndex = data[1];
  input.spoilMask = data[2];
  input.stretchAt = data[3];
  const unsigned wanted = data[4] % (kMaxOps + 1);
  std::size_t at = kPreambleSize;
  for (unsigned i = 0; i < wanted && at + kOpSize <= size; ++i, at += kOpSize) {
    input.ops.push_back(Op{static_cast<OpKind>(data[at] % kOpKinds), data[at + 1], data[at + 2], data[at + 3]});
  }
  input.recording = data + at;
  input.recordingSize = size - at;
  return input;
}

// Positions worth trying cluster around block boundaries (the header and the
// bytes just before it) and the end of the recording; c picks the place.
inline std::uint64_t derivePosition(const Op& op, std::uint64_t recordingSize) {
  constexpr std::uint64_t kBlock = 4096;
  const std::uint64_t blocks = recordingSize / kBlock + 2;
  const std::uint64_t blockStart = (op.a % blocks) * kBlock;
  switch (op.b >> 6) {
    case 0:
      return blockStart + op.c % 16;
    case 1:
      return blockStart + kBlock - 16 + op.c % 16;
    case 2:
      return blockStart + ((static_cast<std::uint64_t>(op.b & 0x3F) << 8 | op.c) % kBlock);
    default: {
      const std::uint64_t back = op.c % 8;
      return recordingSize + 4 > back ? recordingSize + 4 - back : 0;
    }
  }
}

// The seed generator's side.
struct Builder {
  std::uint8_t flags = 0;
  std::uint8_t kernelIndex = 0;
  std::uint8_t spoilMask = 0;
  std::uint8_t stretchAt = 0;
  std::vector<Op> ops;

  std::vector<std::uint8_t> encode(const std::vector<std::uint8_t>& recording) const {
    std::vector<std::uint8_t> out{flags, kernelIndex, spoilMask, stretchAt, static_cast<std::uint8_t>(ops.size())};
    for (const Op& op : ops) {
      out.insert(out.end(), {static_cast<std::uint8_t>(op.kind), op.a, op.b, op.c});
    }
    out.insert(out.end(), recording.begin(), recording.end());
    return out;
  }
};

}  // namespace marlin::fuzzinput
