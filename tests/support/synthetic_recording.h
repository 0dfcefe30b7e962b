#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "source/block_appender.h"

namespace marlin::synth {

using Bytes = std::vector<std::uint8_t>;

// Builds a recording in memory the way a DVR lays it out: frames back to
// back in the payload of time-stamped blocks.
class RecordingBuilder {
 public:
  explicit RecordingBuilder(bool bigEndian = false, std::uint16_t channelMask = 1, std::uint8_t frameInterval = 0);

  // Time stamp of the block headers written from now on.
  void setTime(std::uint32_t time);
  void setFrameInterval(std::uint8_t frameInterval) { frameInterval_ = frameInterval; }
  void append(const Bytes& bytes);
  std::uint64_t written() const { return appender_.written(); }

  // Pads the last block with zeros and hands over the bytes.
  Bytes finish();

 private:
  MemorySink sink_;
  BlockAppender appender_{sink_};
  bool bigEndian_;
  std::uint16_t channelMask_;
  std::uint8_t frameInterval_;
};

// A video frame of length bytes (at least 5): start code 00 00 01 F8/F9, a
// fields byte carrying channel in its low nibble, then noise that holds
// slice-like 00 00 01 xx codes and zero runs but no frame start code.
Bytes makeVideoFrame(unsigned channel, std::size_t length, std::mt19937& random, bool refresh = false);

// An audio frame: 00 00 01 FA+audioChannel, two head bytes, then an 8-bit
// unsigned PCM tone of sampleCount samples.
Bytes makeAudioFrame(unsigned audioChannel, std::size_t sampleCount, std::uint32_t firstSample = 0);

// The start codes removeStartCodes takes out: a recording's frame codes (00 00 01 F8..FD), or every code a
// DVR's live stream is cut at (00 00 01 F0..FF), whose noise must not end a piece early either.
enum class StartCodes { Recording, LiveStream };

// Rewrites bytes so that none of those start codes appears in them.
void removeStartCodes(std::uint8_t* bytes, std::size_t n, StartCodes which = StartCodes::Recording);

// Exchanges the bytes of every 16-bit word, as a DVR disk stores them.
void toDiskByteOrder(Bytes& recording);

// Spoils the check byte of block index.
void corruptBlock(Bytes& recording, std::size_t index);

struct SampleOptions {
  unsigned channels = 4;
  unsigned seconds = 10;
  unsigned framesPerSecond = 8;  // per channel
  bool audio = true;
  bool bigEndian = false;
  std::uint32_t startTime = 1262304000;  // 2010-01-01 00:00:00 UTC
  std::uint32_t seed = 1;
};

// A recording with frames of the channels in turn, block times advancing in
// real time from startTime and a tone as audio frames. Deterministic.
Bytes makeSampleRecording(const SampleOptions& options);

}  // namespace marlin::synth
