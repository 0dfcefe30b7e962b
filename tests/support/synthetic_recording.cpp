#include "support/synthetic_recording.h"

#include <cmath>

#include "source/container.h"
#include "startcode/start_code_search.h"

namespace marlin::synth {

RecordingBuilder::RecordingBuilder(bool bigEndian, std::uint16_t channelMask, std::uint8_t frameInterval)
    : bigEndian_(bigEndian), channelMask_(channelMask), frameInterval_(frameInterval) {
  setTime(0);
}

void RecordingBuilder::setTime(std::uint32_t time) { appender_.setHeader(time, channelMask_, bigEndian_); }

// Memory takes every byte: neither can fail.
void RecordingBuilder::append(const Bytes& bytes) {
  static_cast<void>(appender_.append(bytes.data(), bytes.size(), frameInterval_));
}

Bytes RecordingBuilder::finish() {
  static_cast<void>(appender_.padToBlock());
  return std::move(sink_.bytes);
}

namespace {

bool isLiveStartCodeAt(const std::uint8_t* p) { return p[0] == 0 && p[1] == 0 && p[2] == 1 && p[3] >= 0xF0; }

}  // namespace

void removeStartCodes(std::uint8_t* bytes, std::size_t n, StartCodes which) {
  const auto isStartCodeAt = which == StartCodes::LiveStream ? isLiveStartCodeAt : startcode::isStartCodeAt;
  for (std::size_t p = 0; p + 4 <= n; ++p) {
    if (isStartCodeAt(bytes + p)) {
      bytes[p + 3] = 0x05;
    }
  }
}

Bytes makeVideoFrame(unsigned channel, std::size_t length, std::mt19937& random, bool refresh) {
  Bytes frame(std::max<std::size_t>(length, 5));
  frame[0] = 0x00;
  frame[1] = 0x00;
  frame[2] = 0x01;
  frame[3] = refresh ? container::kRefreshVideoId : container::kVideoId;
  frame[4] = static_cast<std::uint8_t>(0x20 | (channel & 0x0F));
  std::uniform_int_distribution<int> byte(0, 255);
  for (std::size_t i = 5; i < frame.size(); ++i) {
    frame[i] = static_cast<std::uint8_t>(byte(random));
  }
  // Slice start codes and zero runs, which readers must treat as frame bytes.
  for (std::size_t i = 5; i + 4 <= frame.size(); i += 997) {
    frame[i] = 0x00;
    frame[i + 1] = 0x00;
    frame[i + 2] = 0x01;
    frame[i + 3] = static_cast<std::uint8_t>(1 + i % 0x2F);
  }
  removeStartCodes(frame.data() + 1, frame.size() - 1);
  return frame;
}

Bytes makeAudioFrame(unsigned audioChannel, std::size_t sampleCount, std::uint32_t firstSample) {
  Bytes frame(container::kAudioHeadSize + sampleCount);
  frame[0] = 0x00;
  frame[1] = 0x00;
  frame[2] = 0x01;
  frame[3] = static_cast<std::uint8_t>(container::kFirstAudioId + (audioChannel & 3));
  frame[4] = 0x80;
  frame[5] = 0x80;
  constexpr double kPi = 3.14159265358979323846;
  for (std::size_t i = 0; i < sampleCount; ++i) {
    const double phase = 2.0 * kPi * 440.0 * static_cast<double>(firstSample + i) / 8000.0;
    frame[container::kAudioHeadSize + i] = static_cast<std::uint8_t>(128.0 + 96.0 * std::sin(phase));
  }
  return frame;
}

void toDiskByteOrder(Bytes& recording) {
  for (std::size_t i = 0; i + 1 < recording.size(); i += 2) {
    std::swap(recording[i], recording[i + 1]);
  }
}

void corruptBlock(Bytes& recording, std::size_t index) {
  const std::size_t checkByte = index * container::kBlockSize + 7;
  if (checkByte < recording.size()) {
    recording[checkByte] ^= 0x5A;
  }
}

Bytes makeSampleRecording(const SampleOptions& options) {
  const unsigned channels = std::max(1u, std::min(options.channels, 16u));
  const std::uint16_t channelMask = static_cast<std::uint16_t>((1u << channels) - 1);
  RecordingBuilder builder(options.bigEndian, channelMask, 0);
  std::mt19937 random(options.seed);
  std::uniform_int_distribution<std::size_t> frameSize(1500, 9000);
  constexpr std::size_t kSamplesPerAudioFrame = 1000;  // 8 audio frames per second at 8000 Hz
  std::uint32_t samplesWritten = 0;
  for (unsigned second = 0; second < options.seconds; ++second) {
    builder.setTime(options.startTime + second);
    for (unsigned tick = 0; tick < options.framesPerSecond; ++tick) {
      for (unsigned channel = 0; channel < channels; ++channel) {
        builder.append(makeVideoFrame(channel, frameSize(random), random, tick == 0));
      }
      if (options.audio) {
        builder.append(makeAudioFrame(0, kSamplesPerAudioFrame, samplesWritten));
        samplesWritten += kSamplesPerAudioFrame;
      }
    }
  }
  return builder.finish();
}

}  // namespace marlin::synth
