// The sound path on real SDL devices: the dummy driver (plays nothing, takes
// samples at about the real rate) and the disk driver (writes what it is
// given to a file), and the fallback to the dummy driver.
#include <SDL.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "engine/audio/audio_decoder.h"
#include "engine/audio/audio_output.h"
#include "platform/sdl_audio_device.h"
#include "support/temp_dir.h"
#include "support/wait_until.h"

namespace marlin {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

// Sets an environment variable for one test, as SDL reads its choices there.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) {
      old_ = old;
    }
    ::setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() { old_ ? ::setenv(name_, old_->c_str(), 1) : ::unsetenv(name_); }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

class Silent final : public MessageSink {
 public:
  void showMessage(std::string_view text, std::string_view) override { ADD_FAILURE() << text; }
};

WaveFormat formatOf(int codec, int rate) {
  WaveFormat format{};
  AudioDecoder().setFormat(codec, rate, &format);
  return format;
}

TEST(SdlAudioDevice, ScalesSamplesToTheVolume) {
  Bytes u8 = {0x00, 0x80, 0xFF};
  scaleToVolume(u8.data(), 3, 8, 0x8000);
  EXPECT_EQ(u8, (Bytes{64, 128, 191}));
  scaleToVolume(u8.data(), 3, 8, 0xFFFF0000);  // only the left level counts
  EXPECT_EQ(u8, (Bytes{128, 128, 128}));

  Bytes s16 = {0x00, 0x80, 0xFF, 0x7F, 0x64, 0x00};  // -32768, 32767, 100
  const Bytes half = {0x00, 0xC0, 0xFF, 0x3F, 0x32, 0x00};
  scaleToVolume(s16.data(), 6, 16, 0x8000);
  EXPECT_EQ(s16, half);
  scaleToVolume(s16.data(), 6, 16, 0xFFFF);
  EXPECT_EQ(s16, half);
}

TEST(SdlAudioDevice, FallsBackToTheDummyDriver) {
  ScopedEnv driver("SDL_AUDIODRIVER", "no-such-driver");
  SdlAudioDevice plain;
  EXPECT_FALSE(plain.open(formatOf(1, 8000)));

  SdlAudioDevice device(true);
  EXPECT_FALSE(device.open(WaveFormat{1, 1, 8000, 24000, 3, 24, 0}));
  ASSERT_TRUE(device.open(formatOf(1, 8000)));
  EXPECT_STREQ(SDL_GetCurrentAudioDriver(), "dummy");
  EXPECT_STREQ(SDL_GetHint(SDL_HINT_AUDIODRIVER), "no-such-driver");
  EXPECT_FALSE(device.startLoop());  // no ring handed over
  EXPECT_FALSE(device.prepareLoop(nullptr, 8192));
  const Bytes odd(6000);
  EXPECT_FALSE(device.prepareLoop(odd.data(), 6000));
}

TEST(SdlAudioDevice, DummyDriverMovesThePlayedPosition) {
  ScopedEnv driver("SDL_AUDIODRIVER", "dummy");
  SdlAudioDevice device;
  Silent messages;
  AudioOutput output(device, messages);
  ASSERT_EQ(output.open(formatOf(3, 48000)), 1);
  ASSERT_EQ(output.startLoop(), 1);

  const Bytes block(960, 0x11);
  testing::waitUntil([&] {
    output.service();
    output.writePcm(block.data(), 960);
    return output.written() >= 4 * AudioOutput::kRingSize;
  });
  std::uint32_t played = 0;
  ASSERT_TRUE(device.playedBytes(played));
  EXPECT_GE(output.written(), 4 * AudioOutput::kRingSize);
  EXPECT_GE(played, output.written() - (AudioOutput::kRingSize - AudioOutput::kMargin));
}

// Neither 0x00 (the silent ring before the first write) nor 0x80 (what SDL
// sends while paused).
Bytes audibleBytes(std::size_t n) {
  Bytes bytes(n);
  for (std::size_t i = 0; i < n; ++i) {
    const auto v = static_cast<std::uint8_t>(1 + i * 37 % 254);
    bytes[i] = v >= 0x80 ? static_cast<std::uint8_t>(v + 1) : v;
  }
  return bytes;
}

TEST(SdlAudioDevice, DiskDriverReceivesTheWrittenBytesInOrder) {
  testing::TempDir dir;
  ScopedEnv driver("SDL_AUDIODRIVER", "disk");
  ScopedEnv file("SDL_DISKAUDIOFILE", dir.file("out.raw"));
  const Bytes data = audibleBytes(12288);
  std::uint32_t resumeAt = 0;
  {
    SdlAudioDevice device;
    Silent messages;
    AudioOutput output(device, messages);
    ASSERT_EQ(output.open(formatOf(1, 8000)), 1);
    ASSERT_EQ(output.startLoop(), 1);
    // The first underrun pause moves the count to where the device stopped;
    // the ring is played on from there, so the bytes before it are skipped.
    output.service();
    resumeAt = output.written();
    ASSERT_LT(resumeAt, 1024U);

    std::size_t sent = 0;
    testing::waitUntil([&] {
      const auto n = static_cast<std::uint32_t>(std::min<std::size_t>(512, data.size() - sent));
      if (output.writePcm(data.data() + sent, n) == 1) {
        sent += n;
      }
      output.service();
      return sent == data.size();
    });
    ASSERT_EQ(sent, data.size());
    ASSERT_TRUE(testing::waitUntil([&] {
      output.service();
      return output.isPaused();
    }));

    std::uint32_t atPause = 0;
    std::uint32_t later = 0;
    ASSERT_TRUE(device.playedBytes(atPause));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_TRUE(device.playedBytes(later));
    EXPECT_EQ(later, atPause);
  }

  Bytes heard;
  for (const std::uint8_t b : testing::readFile(dir.file("out.raw"))) {
    if (b != 0x00 && b != 0x80) {
      heard.push_back(b);
    }
  }
  // What is left unplayed at the final pause is within the margin.
  const Bytes expected(data.begin() + resumeAt, data.end() - AudioOutput::kMargin);
  ASSERT_GE(heard.size(), expected.size());
  EXPECT_EQ(Bytes(heard.begin(), heard.begin() + static_cast<std::ptrdiff_t>(expected.size())), expected);
}

}  // namespace
}  // namespace marlin
