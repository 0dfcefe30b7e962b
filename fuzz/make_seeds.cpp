// Writes the starting corpus of stream_source_fuzz: a few small recordings
// built with the synthetic recording tools, each with a sequence of
// operations that walks it in every direction.
//
//   stream_source_fuzz_seeds OUTPUT_DIR

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "fuzz_input.h"
#include "seed_file.h"
#include "source/container.h"
#include "support/synthetic_recording.h"

namespace {

namespace fuzzin = marlin::fuzzinput;
namespace synth = marlin::synth;
using fuzzin::Op;
using fuzzin::OpKind;
using marlin::container::kBlockSize;
using marlin::container::kHeaderSize;

// Position operands, see fuzzin::derivePosition.
Op nearBlockStart(OpKind kind, std::uint8_t block, std::uint8_t offset) { return {kind, block, 0x00, offset}; }
Op nearBlockEnd(OpKind kind, std::uint8_t block, std::uint8_t fromLast16) { return {kind, block, 0x40, fromLast16}; }
Op inBlock(OpKind kind, std::uint8_t block, std::uint16_t offset) {
  return {kind, block, static_cast<std::uint8_t>(0x80 | (offset >> 8)), static_cast<std::uint8_t>(offset)};
}
Op nearEnd(OpKind kind, std::uint8_t back) { return {kind, 0, 0xC0, back}; }
Op simple(OpKind kind, std::uint8_t repeat = 0) { return {kind, repeat, 0, 0}; }

// A walk that reaches every frame forward and backward and jumps around.
std::vector<Op> tour() {
  return {
      simple(OpKind::ReadNextRepeated, 255),
      simple(OpKind::SetPositionToEnd),
      simple(OpKind::ReadPreviousRepeated, 255),
      inBlock(OpKind::SetPosition, 1, 100),
      simple(OpKind::ReadNext),
      simple(OpKind::ReadPrevious),
      simple(OpKind::ReadPrevious),
      simple(OpKind::ReadNext),
      inBlock(OpKind::MarkAndRead, 1, 2000),
      simple(OpKind::ReadNextRepeated, 3),
      simple(OpKind::ReadFromMark),
      nearBlockEnd(OpKind::SetPosition, 0, 13),
      simple(OpKind::ReadNext),
      nearBlockStart(OpKind::SetPosition, 2, 4),
      simple(OpKind::ReadPrevious),
      nearEnd(OpKind::SetPosition, 5),
      simple(OpKind::ReadPrevious),
      simple(OpKind::ReadNext),
  };
}

// Appends a video frame whose end, and so the next frame's start code, falls
// at offset target of a block (the frame may run on into the next block).
void fillTo(synth::RecordingBuilder& builder, std::size_t target, unsigned channel, std::mt19937& random) {
  const std::size_t used = builder.written() % kBlockSize;
  std::size_t length;
  if (used == 0) {
    length = target - kHeaderSize;
  } else if (target >= used + 5) {
    length = target - used;
  } else {
    length = kBlockSize - used + target - kHeaderSize;
  }
  builder.append(synth::makeVideoFrame(channel, length, random));
}

synth::Bytes mixedRecording(bool bigEndian) {
  synth::RecordingBuilder builder(bigEndian, 0x000F, 1);
  std::mt19937 random(7);
  builder.setTime(1262304000);
  std::uint32_t samples = 0;
  for (unsigned round = 0; round < 3; ++round) {
    for (unsigned channel = 0; channel < 4; ++channel) {
      builder.append(synth::makeVideoFrame(channel, 500 + 150 * channel + 40 * round, random, round == 0));
    }
    builder.append(synth::makeAudioFrame((round * 3) % 4, 300, samples));
    samples += 300;
    builder.setTime(1262304001 + round);
    builder.setFrameInterval(static_cast<std::uint8_t>(round + 1));
  }
  return builder.finish();
}

// Start codes that begin in each of the last four bytes of a block, so that
// three of them are divided by the next block's header.
synth::Bytes dividedStartCodes() {
  synth::RecordingBuilder builder(false, 0x0003, 0);
  std::mt19937 random(11);
  builder.setTime(1300000000);
  fillTo(builder, kBlockSize - 3, 0, random);  // 00 | 00 01 F8
  fillTo(builder, kBlockSize - 2, 1, random);  // 00 00 | 01 F8
  builder.append(synth::makeVideoFrame(0, 60, random));
  fillTo(builder, kBlockSize - 1, 1, random);  // 00 00 01 | F8
  fillTo(builder, kBlockSize - 4, 0, random);  // 00 00 01 F8 | (ends the block)
  builder.append(synth::makeAudioFrame(1, 40));
  builder.append(synth::makeVideoFrame(1, 30, random));
  return builder.finish();
}

// Frames too short to deliver (audio without samples), start codes back to
// back and a block whose time stamp is not a plausible calendar time.
synth::Bytes tinyFrames() {
  synth::RecordingBuilder builder(false, 0x0001, 0x7F);
  std::mt19937 random(3);
  builder.setTime(0xFFFFFFF0u);
  for (unsigned i = 0; i < 40; ++i) {
    builder.append(synth::makeAudioFrame(i % 4, i % 3));
    builder.append(synth::makeVideoFrame(i % 16, 5 + i % 4, random));
  }
  builder.setTime(1262304000);
  builder.append(synth::makeVideoFrame(2, 4200, random));
  builder.append(synth::makeAudioFrame(3, 1));
  return builder.finish();
}

// flags with the read-ahead bits set to choice (an index into kReadAheadBlocks).
std::uint8_t readAhead(unsigned flags, unsigned choice) {
  return static_cast<std::uint8_t>(flags | choice << fuzzin::kReadAheadShift);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
    return 2;
  }
  const std::string dir = argv[1];
  bool ok = true;

  {
    fuzzin::Builder seed{fuzzin::kRepairChecks, 0, 0, 0, tour()};
    ok &= writeSeed(dir, "mixed_av", seed.encode(mixedRecording(false)));
  }
  {
    fuzzin::Builder seed{fuzzin::kRepairChecks, 1, 0, 0, tour()};
    seed.ops.push_back(nearBlockEnd(OpKind::SetPosition, 1, 15));
    seed.ops.push_back(simple(OpKind::ReadPreviousRepeated, 4));
    seed.ops.push_back(nearBlockStart(OpKind::SetPosition, 1, 9));
    seed.ops.push_back(simple(OpKind::ReadNextRepeated, 4));
    ok &= writeSeed(dir, "divided_start_codes", seed.encode(dividedStartCodes()));
  }
  {
    synth::Bytes recording = mixedRecording(false);
    synth::toDiskByteOrder(recording);
    fuzzin::Builder seed{fuzzin::kDisk | fuzzin::kRepairChecks, 1, 0, 0, tour()};
    ok &= writeSeed(dir, "disk_byte_order", seed.encode(recording));
  }
  {
    // Big-endian headers, the second block spoiled, and a piece of a block
    // after the last whole one.
    synth::Bytes recording = mixedRecording(true);
    synth::corruptBlock(recording, 1);
    recording.insert(recording.end(), recording.begin() + 8, recording.begin() + 1500);
    fuzzin::Builder seed{fuzzin::kBigEndian, 0, 0, 0, tour()};
    seed.ops.push_back(nearEnd(OpKind::MarkAndRead, 3));
    ok &= writeSeed(dir, "big_endian_bad_block", seed.encode(recording));
  }
  {
    fuzzin::Builder seed{fuzzin::kRepairChecks, 2, 0, 0, tour()};
    ok &= writeSeed(dir, "tiny_frames", seed.encode(tinyFrames()));
  }
  {
    // 35 blocks of filler after the second block make the frame that runs
    // over its end longer than the frame buffer.
    fuzzin::Builder seed{fuzzin::kRepairChecks | fuzzin::kStretch, 2, 0, 1 | 2 << 5, tour()};
    seed.ops.push_back(nearBlockStart(OpKind::MarkAndRead, 1, 12));
    ok &= writeSeed(dir, "frame_over_buffer", seed.encode(mixedRecording(false)));
  }
  {
    // One and two blocks per read: every block and block pair boundary of
    // the tour is also the end of what the source read ahead.
    fuzzin::Builder oneBlock{readAhead(fuzzin::kRepairChecks, 1), 1, 0, 0, tour()};
    ok &= writeSeed(dir, "read_ahead_one_block", oneBlock.encode(mixedRecording(false)));
    fuzzin::Builder twoBlocks{readAhead(fuzzin::kRepairChecks, 2), 2, 0, 0, tour()};
    twoBlocks.ops.push_back(nearBlockEnd(OpKind::SetPosition, 1, 15));
    twoBlocks.ops.push_back(simple(OpKind::ReadPreviousRepeated, 4));
    ok &= writeSeed(dir, "read_ahead_two_blocks", twoBlocks.encode(dividedStartCodes()));
  }
  {
    // A frame longer than the frame buffer read five blocks at a time.
    fuzzin::Builder seed{readAhead(fuzzin::kRepairChecks | fuzzin::kStretch, 3), 0, 0, 1 | 2 << 5, tour()};
    ok &= writeSeed(dir, "read_ahead_frame_over_buffer", seed.encode(mixedRecording(false)));
  }
  return ok ? 0 : 1;
}
