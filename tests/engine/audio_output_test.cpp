// AudioOutput on a scripted device: the 1024-byte margin, where bytes land in
// the ring, the underrun pause and restart, volume and mute, the messages.
#include "engine/audio/audio_output.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "codec/g711.h"
#include "support/fake_audio_device.h"

namespace marlin {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr WaveFormat kPcm8{1, 1, 8000, 8000, 1, 8, 0};
constexpr WaveFormat kPcm16{1, 1, 8000, 16000, 2, 16, 0};

Bytes pattern(std::size_t n, unsigned seed) {
  Bytes bytes(n);
  for (std::size_t i = 0; i < n; ++i) {
    bytes[i] = static_cast<std::uint8_t>(i * 7 + seed);
  }
  return bytes;
}

class AudioOutputTest : public ::testing::Test, public MessageSink {
 protected:
  void showMessage(std::string_view text, std::string_view caption) override {
    EXPECT_TRUE(caption.empty());
    messages.emplace_back(text);
  }
  void openAndLoop(const WaveFormat& format) {
    ASSERT_EQ(output.open(format), 1);
    ASSERT_EQ(output.startLoop(), 1);
  }
  int writePcm(const Bytes& b) { return output.writePcm(b.data(), static_cast<std::uint32_t>(b.size())); }
  int writeALaw(const Bytes& b) { return output.writeALaw(b.data(), static_cast<std::uint32_t>(b.size())); }

  std::vector<std::string> messages;
  testing::FakeAudioDevice device;
  AudioOutput output{device, *this};
};

TEST_F(AudioOutputTest, AcceptsOnlyWhatLeavesTheMarginFree) {
  openAndLoop(kPcm8);
  ASSERT_EQ(writePcm(Bytes(6000)), 1);
  EXPECT_EQ(writePcm(Bytes(1200)), 0);  // 6000 + 1200 + 1024 > 8192
  EXPECT_EQ(output.queued(), 6000U);
  EXPECT_EQ(writePcm(Bytes(1100)), 1);

  // A-law bytes count twice, and the position always goes back to a whole
  // 16-bit sample: 6000 + 1200 + 1024 > 8192, 6000 + 1160 + 1024 <= 8192.
  device.position = 1101;
  EXPECT_EQ(writeALaw(Bytes(600)), 0);
  EXPECT_EQ(output.queued(), 6000U);
  EXPECT_EQ(writeALaw(Bytes(580)), 1);
  EXPECT_EQ(output.written(), 8260U);

  device.position = 20000;  // the device ran ahead
  EXPECT_EQ(writePcm(Bytes(7168)), 1);
  EXPECT_EQ(output.queued(), 0U);
}

TEST_F(AudioOutputTest, WritesContinueAtTheStartOfTheRing) {
  openAndLoop(kPcm8);
  const Bytes first = pattern(7000, 1);
  ASSERT_EQ(writePcm(first), 1);
  device.position = 7000;
  const Bytes second = pattern(2000, 5);
  ASSERT_EQ(writePcm(second), 1);
  const auto ring = output.ring();
  EXPECT_EQ(Bytes(ring.begin() + 7000, ring.end()), Bytes(second.begin(), second.begin() + 1192));
  EXPECT_EQ(Bytes(ring.begin(), ring.begin() + 808), Bytes(second.begin() + 1192, second.end()));
  EXPECT_EQ(ring[808], first[808]);
  EXPECT_EQ(output.writeOffset(), 808U);

  device.position = 9000;
  const Bytes codes = pattern(3000, 9);
  ASSERT_EQ(writeALaw(codes), 1);
  for (std::uint32_t i = 0; i < codes.size(); ++i) {
    const auto at = (9000 + 2 * i) % AudioOutput::kRingSize;
    const auto sample = static_cast<std::uint16_t>(alawToLinear(codes[i]));
    ASSERT_EQ(ring[at] | ring[(at + 1) % AudioOutput::kRingSize] << 8, sample) << i;
  }
  EXPECT_EQ(output.writeOffset(), 15000U % AudioOutput::kRingSize);
}

TEST_F(AudioOutputTest, ServicePausesOnUnderrunAndRestartsWithAMarginAgain) {
  openAndLoop(kPcm16);
  ASSERT_EQ(writePcm(Bytes(2000)), 1);
  device.position = 1001;
  output.service();
  EXPECT_TRUE(output.isPaused() && device.paused);
  // The first pause moves the count to the device, to a whole 16-bit sample.
  EXPECT_EQ(output.written(), 1000U);

  ASSERT_EQ(writePcm(Bytes(1023)), 1);
  output.service();
  EXPECT_EQ(device.restartCount, 0);
  ASSERT_EQ(writePcm(Bytes(1)), 1);
  output.service();
  EXPECT_FALSE(output.isPaused() || device.paused);

  device.position = 1500;
  output.service();
  EXPECT_TRUE(output.isPaused());
  EXPECT_EQ(output.written(), 2024U);  // only the first pause resynchronises

  device.position = 5000;
  output.service();
  EXPECT_EQ(output.written(), 5000U);
  EXPECT_EQ(device.pauseCount, 2);
}

TEST_F(AudioOutputTest, FailedPauseOrRestartIsTriedAgain) {
  openAndLoop(kPcm16);
  ASSERT_EQ(writePcm(Bytes(1000)), 1);
  device.position = 200;
  device.pauseSucceeds = false;
  output.service();
  EXPECT_FALSE(output.isPaused());
  EXPECT_EQ(output.written(), 1000U);
  device.pauseSucceeds = true;
  output.service();
  EXPECT_EQ(output.written(), 200U);  // the resynchronisation waited for it

  ASSERT_EQ(writePcm(Bytes(2000)), 1);
  device.restartSucceeds = false;
  output.service();
  device.restartSucceeds = true;
  EXPECT_TRUE(output.isPaused());
  output.service();
  EXPECT_FALSE(output.isPaused());
}

TEST_F(AudioOutputTest, WithoutAPositionNothingIsWrittenOrServiced) {
  openAndLoop(kPcm16);
  device.positionFails = true;
  EXPECT_EQ(writePcm(Bytes(10)), 0);
  EXPECT_EQ(writeALaw(Bytes(10)), 0);
  output.service();
  EXPECT_TRUE(output.positionFailed());
  EXPECT_EQ(device.pauseCount, 0);
  device.positionFails = false;
  EXPECT_EQ(writePcm(Bytes(10)), 1);
  EXPECT_FALSE(output.positionFailed());
}

TEST_F(AudioOutputTest, VolumeAndMute) {
  output.setVolume(0x8000);
  openAndLoop(kPcm16);
  EXPECT_EQ(device.volumeCount, 0);  // neither without a device nor at open

  output.setVolume(0x12348000);
  EXPECT_EQ(device.lastVolume, 0x80008000U);
  EXPECT_EQ(output.getVolume(), 0x8000U);
  output.setMute(true);
  EXPECT_EQ(device.lastVolume, 0U);
  output.setVolume(0x4000);
  EXPECT_EQ(device.volumeCount, 2);
  EXPECT_EQ(output.getVolume(), 0x4000U);
  output.setMute(false);
  EXPECT_EQ(device.lastVolume, 0x40004000U);
}

TEST_F(AudioOutputTest, EachFailureHasItsMessage) {
  device.openSucceeds = false;
  EXPECT_EQ(output.open(kPcm16), 0);
  EXPECT_EQ(output.startLoop(), 1);  // nothing to start without a device
  device.openSucceeds = true;
  ASSERT_EQ(output.open(kPcm16), 1);
  device.prepareSucceeds = false;
  EXPECT_EQ(output.startLoop(), 0);
  device.prepareSucceeds = true;
  device.startSucceeds = false;
  EXPECT_EQ(output.startLoop(), 0);
  EXPECT_EQ(messages,
            (std::vector<std::string>{"Sound device open error !", "Preapre Header Error !", "Sound out fail !"}));
}

TEST_F(AudioOutputTest, ReopeningStartsAfreshOnASilentRing) {
  openAndLoop(kPcm8);
  EXPECT_EQ(device.ring, output.ring().data());
  ASSERT_EQ(writePcm(pattern(3000, 1)), 1);
  ASSERT_EQ(output.open(kPcm16), 1);
  EXPECT_EQ(device.closeCount, 1);
  EXPECT_EQ(device.pauseCount, 1);
  EXPECT_EQ(output.written() + output.writeOffset(), 0U);
  EXPECT_EQ(Bytes(output.ring().begin(), output.ring().end()), Bytes(AudioOutput::kRingSize));
}

}  // namespace
}  // namespace marlin
