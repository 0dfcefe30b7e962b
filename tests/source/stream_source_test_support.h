#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <vector>

#include "source/stream_source.h"
#include "support/synthetic_recording.h"
#include "support/temp_dir.h"

namespace marlin::testing {

using synth::Bytes;

// Writes a recording to a temporary file and opens a stream source on it.
class RecordingFixture : public ::testing::Test {
 protected:
  StreamSource& open(const Bytes& recording, bool isDisk = false, CodecVariant variant = 4,
                     std::size_t readAheadBytes = BlockSpan::kDefaultBytes) {
    return openFile(writeRecording(recording), isDisk, variant, readAheadBytes);
  }

  std::string writeRecording(const Bytes& recording) {
    const std::string path = dir_.file("recording" + std::to_string(files_++) + ".QKV");
    writeFile(path, recording);
    return path;
  }

  StreamSource& openFile(const std::string& path, bool isDisk, CodecVariant variant, std::size_t readAheadBytes) {
    StreamSource& source = *sources_.emplace_back(std::make_unique<StreamSource>(readAheadBytes));
    source.setCodecVariant(variant);
    EXPECT_TRUE(source.open(path, isDisk));
    return source;
  }

  std::string tempFile(const std::string& name) const { return dir_.file(name); }

  // Lays frames into blocks with increasing block times.
  static Bytes recordingOf(const std::vector<Bytes>& frames, bool bigEndian = false) {
    synth::RecordingBuilder builder(bigEndian, 1, 0);
    std::uint32_t time = 1000000000;
    for (const Bytes& frame : frames) {
      builder.setTime(time++);
      builder.append(frame);
    }
    return builder.finish();
  }

  // Reads forward until a read fails, collecting the delivered frames.
  static std::vector<Bytes> readAllForward(StreamSource& source) {
    std::vector<Bytes> frames;
    Bytes buffer(container::kFrameBufferSize);
    while (const std::uint32_t n = source.readNext(buffer.data())) {
      frames.emplace_back(buffer.begin(), buffer.begin() + n);
    }
    return frames;
  }

  static std::vector<Bytes> readAllBackward(StreamSource& source) {
    std::vector<Bytes> frames;
    Bytes buffer(container::kFrameBufferSize);
    while (const std::uint32_t n = source.readPrevious(buffer.data())) {
      frames.emplace_back(buffer.begin(), buffer.begin() + n);
    }
    return frames;
  }

  std::mt19937 random_{12345};

 private:
  TempDir dir_;
  int files_ = 0;
  std::vector<std::unique_ptr<StreamSource>> sources_;
};

// The sample bytes a reader delivers for an audio frame.
inline Bytes samplesOf(const Bytes& audioFrame) { return Bytes(audioFrame.begin() + 6, audioFrame.end()); }

}  // namespace marlin::testing
