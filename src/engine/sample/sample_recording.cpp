#include "engine/sample/sample_recording.h"

#include <algorithm>
#include <cmath>

#include "base/frame_period.h"
#include "codec/encoder/video_encoder.h"
#include "codec/g711.h"
#include "engine/sample/motion_scene.h"
#include "engine/sample/sample_picture.h"
#include "engine/sample/sensor_noise.h"
#include "source/container.h"

namespace marlin::sample {

namespace {

constexpr unsigned kSampleRate = 8000;
constexpr unsigned kSamplesPerAudioFrame = 1000;

// One audio frame of a 440 Hz tone on audio channel 0: A-law bytes for the
// variants whose recorders compand, 8-bit unsigned PCM for the others.
std::vector<std::uint8_t> makeToneFrame(std::uint32_t firstSample, bool aLaw) {
  std::vector<std::uint8_t> frame(container::kAudioHeadSize + kSamplesPerAudioFrame);
  frame[2] = 0x01;
  frame[3] = container::kFirstAudioId;
  frame[4] = 0x80;
  frame[5] = 0x80;
  constexpr double kPi = 3.14159265358979323846;
  for (unsigned i = 0; i < kSamplesPerAudioFrame; ++i) {
    const double wave = std::sin(2.0 * kPi * 440.0 * static_cast<double>(firstSample + i) / kSampleRate);
    frame[container::kAudioHeadSize + i] = aLaw ? linearToAlaw(static_cast<std::int16_t>(std::lround(24576.0 * wave)))
                                                : static_cast<std::uint8_t>(128.0 + 96.0 * wave);
  }
  return frame;
}

// About 30 pictures a second in all, shared by the channels.
int periodsPerPicture(const SampleOptions& options) {
  return std::max(1, static_cast<int>(std::lround(33333.0 / framePeriodMicroseconds(options.height, options.variant))));
}

}  // namespace

double samplePictureSeconds(const SampleOptions& options) {
  return periodsPerPicture(options) * framePeriodMicroseconds(options.height, options.variant) / 1e6;
}

Status writeSampleRecording(const SampleOptions& options, ByteSink& sink, const SampleProgress& progress) {
  const unsigned channels = std::clamp(options.channels, 1u, 16u);
  const int periodsPerPicture = sample::periodsPerPicture(options);
  const auto frameInterval = static_cast<std::uint8_t>(periodsPerPicture - 1);
  const auto channelMask = static_cast<std::uint16_t>((1u << channels) - 1);
  const bool bigEndian = isBigEndianVariant(options.variant);
  BlockAppender appender(sink);
  encoder::VideoEncoder videoEncoder;
  YuvPicture picture;
  picture.resize(kSamplePictureWidth, options.height);
  const bool knownMotion = !options.motion.empty() || options.noiseSigma > 0.0;
  MotionScene motionScene(options.motion, kSamplePictureWidth, options.height);
  SensorNoise noise(options.noiseSigma);

  const double pictureSeconds = samplePictureSeconds(options);
  const auto pictures = static_cast<std::uint64_t>(options.seconds / pictureSeconds);
  // Conditional recordings refresh each channel about every two seconds.
  const auto refreshEvery = static_cast<std::uint64_t>(std::max(1L, std::lround(2.0 / (pictureSeconds * channels))));
  std::uint32_t samplesWritten = 0;
  for (std::uint64_t index = 0; index < pictures; ++index) {
    const double now = static_cast<double>(index) * pictureSeconds;
    appender.setHeader(options.startTime + static_cast<std::uint32_t>(now), channelMask, bigEndian);
    const auto channel = static_cast<unsigned>(index % channels);
    if (knownMotion) {
      motionScene.draw(picture, channel, now);
      noise.addTo(picture);
    } else {
      drawSamplePicture(picture, channel, now);
    }
    encoder::EncodeParams params;
    params.variant = options.variant;
    params.quality = options.quality;
    params.channel = static_cast<int>(channel);
    params.sequence = static_cast<std::uint16_t>(index * periodsPerPicture);
    params.refresh = !options.conditional || (index / channels) % refreshEvery == 0;
    params.changeThreshold = noise.changeThreshold();
    const std::vector<std::uint8_t> coded = videoEncoder.encode(picture, params);
    if (Status appended = appender.append(coded.data(), coded.size(), frameInterval); !appended) {
      return appended;
    }
    while (options.audio && samplesWritten < (now + pictureSeconds) * kSampleRate) {
      const std::vector<std::uint8_t> tone = makeToneFrame(samplesWritten, recordsALawAudio(options.variant));
      if (Status appended = appender.append(tone.data(), tone.size(), frameInterval); !appended) {
        return appended;
      }
      samplesWritten += kSamplesPerAudioFrame;
    }
    if (progress) {
      progress(index + 1, pictures);
    }
  }
  return appender.padToBlock();
}

std::vector<std::uint8_t> makeSampleRecording(const SampleOptions& options) {
  MemorySink sink;
  // Memory takes every byte.
  static_cast<void>(writeSampleRecording(options, sink));
  return std::move(sink.bytes);
}

}  // namespace marlin::sample
