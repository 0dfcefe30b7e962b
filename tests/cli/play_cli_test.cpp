// marlin play as scripts use it: the events it prints follow the recording,
// fast and reverse play move through it as a user's presses would, snapshots
// land as bitmap files and the sound reaches the sound driver intact.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <regex>
#include <set>
#include <sstream>

#include "codec/g711.h"
#include "run_marlin.h"
#include "source/stream_source.h"

namespace marlin::testing {
namespace {

namespace fs = std::filesystem;

struct Picture {
  int channel;
  std::string time;
  std::uint64_t position;
};

struct Events {
  std::vector<Picture> pictures;
  std::vector<std::string> states;  // "forward 1", "paused 16", ...
};

Events parseEvents(const std::string& out) {
  static const std::regex picture(
      R"re(\{"event":"picture","channel":(\d+),"time":"([^"]+)","width":640,"height":224,"position":(\d+)\})re");
  static const std::regex state(R"re(\{"event":"state","state":"([a-z-]+)","speed":([0-9.]+)\})re");
  Events events;
  std::istringstream lines(out);
  std::string line;
  std::smatch match;
  while (std::getline(lines, line)) {
    if (std::regex_match(line, match, picture)) {
      events.pictures.push_back({std::stoi(match[1]), match[2], std::stoull(match[3])});
    } else if (std::regex_match(line, match, state)) {
      events.states.push_back(match[1].str() + " " + match[2].str());
    } else {
      ADD_FAILURE() << "not an event line: " << line;
    }
  }
  return events;
}

class PlayCli : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(fs::exists(sample)) << sample; }

  Events play(const std::vector<std::string>& extra) {
    std::vector<std::string> args = {"play", sample, "--events", "--no-audio", "--seconds", "1.5"};
    args.insert(args.end(), extra.begin(), extra.end());
    const Result r = runMarlin(dir, args);
    EXPECT_TRUE(r.exited && r.status == 0) << r;
    return parseEvents(r.out);
  }

  // The audio frames' bytes in recording order.
  static std::vector<std::uint8_t> recordedSound(const std::string& recording) {
    std::vector<std::uint8_t> sound;
    StreamSource source;
    EXPECT_TRUE(source.open(recording, false));
    std::vector<std::uint8_t> buffer(container::kFrameBufferSize);
    while (const std::uint32_t n = source.readNext(buffer.data())) {
      if (source.header().isAudio) {
        sound.insert(sound.end(), buffer.begin(), buffer.begin() + n);
      }
    }
    return sound;
  }

  // Plays through SDL's disk driver; what it wrote.
  std::vector<std::uint8_t> soundPlayed(const std::vector<std::string>& args) {
    const std::string played = dir.file("played.raw");
    ::setenv("SDL_AUDIODRIVER", "disk", 1);
    ::setenv("SDL_DISKAUDIOFILE", played.c_str(), 1);
    const Result r = runMarlin(dir, args);
    ::unsetenv("SDL_AUDIODRIVER");
    ::unsetenv("SDL_DISKAUDIOFILE");
    EXPECT_TRUE(r.exited && r.status == 0) << r;
    return readFile(played);
  }

  TempDir dir;
  // The build's sample recording: 10 seconds of four channels with sound.
  std::string sample = MARLIN_SAMPLE_RECORDING;
};

TEST_F(PlayCli, ForwardPlayShowsEveryChannelInReadingOrder) {
  const Events events = play({});
  ASSERT_GE(events.pictures.size(), 8u);
  for (std::size_t i = 0; i < events.pictures.size(); ++i) {
    EXPECT_EQ(events.pictures[i].channel, static_cast<int>(i % 4));
    if (i > 0) {
      EXPECT_GT(events.pictures[i].position, events.pictures[i - 1].position);
      EXPECT_GE(events.pictures[i].time, events.pictures[i - 1].time);
    }
  }
  EXPECT_EQ(events.pictures.front().time, "2010-01-01 12:00:00");
  ASSERT_FALSE(events.states.empty());
  // Opened paused: no picture comes before the view asked for.
  ASSERT_GE(events.states.size(), 2u);
  EXPECT_EQ(events.states[0], "paused 1");
  EXPECT_EQ(events.states[1], "forward 1");
  EXPECT_EQ(events.states.back(), "idle 1");
}

TEST_F(PlayCli, SixteenTimesIsReachedByTwoFastPressesAndSkips) {
  const Events events = play({"--speed", "16"});
  const std::vector<std::string> expected = {"paused 1", "forward 1", "forward 8", "forward 16"};
  ASSERT_GE(events.states.size(), 4u);
  EXPECT_EQ(std::vector<std::string>(events.states.begin(), events.states.begin() + 4), expected);
  bool skipped = false;
  for (std::size_t i = 1; i < events.pictures.size(); ++i) {
    skipped = skipped || events.pictures[i].position - events.pictures[i - 1].position >= 327680;
  }
  EXPECT_TRUE(skipped);
}

TEST_F(PlayCli, FastPlayPressesEndWhenTheRecordingEndsUnderThem) {
  // Every press finds the engine paused at the end again and restarts at 8.
  const std::string empty = dir.file("empty.QKV");
  writeFile(empty, std::vector<std::uint8_t>(8192, 0));
  const Result r = runMarlin(dir, {"play", empty, "--speed", "64", "--seconds", "0.2", "--no-audio"});
  EXPECT_TRUE(r.exited && r.status == 0) << r;
  EXPECT_NE(r.err.find("played 0 pictures"), std::string::npos) << r;
}

TEST_F(PlayCli, ReversePlayGoesBackFromTheEnd) {
  const Events events = play({"--reverse"});
  const auto reverse = std::find(events.states.begin(), events.states.end(), "reverse 1");
  ASSERT_NE(reverse, events.states.end());
  // After the first picture (shown before the jump to the end), positions fall.
  ASSERT_GE(events.pictures.size(), 6u);
  EXPECT_GT(events.pictures[1].position, fs::file_size(sample) - 20000);
  for (std::size_t i = 2; i < events.pictures.size(); ++i) {
    EXPECT_LT(events.pictures[i].position, events.pictures[i - 1].position);
  }
}

TEST_F(PlayCli, SnapshotsAreBitmapsOfTheDrawingArea) {
  const Result r = runMarlin(dir, {"play", sample, "--no-audio", "--seconds", "1", "--snapshot-every", "5", "--out",
                                   dir.file("shots"), "--size", "320x224"});
  ASSERT_TRUE(r.exited && r.status == 0) << r;
  std::vector<fs::path> shots;
  for (const auto& entry : fs::directory_iterator(dir.file("shots"))) {
    shots.push_back(entry.path());
  }
  ASSERT_FALSE(shots.empty());
  std::sort(shots.begin(), shots.end());
  EXPECT_EQ(shots.front().filename(), "snapshot-000005.bmp");
  const std::vector<std::uint8_t> bmp = readFile(shots.front().string());
  ASSERT_EQ(bmp.size(), 54u + 224 * 320 * 3);
  EXPECT_EQ(bmp[0], 'B');
  EXPECT_EQ(bmp[1], 'M');
  EXPECT_EQ(bmp[18] | bmp[19] << 8, 320);
  EXPECT_EQ(bmp[22] | bmp[23] << 8, 224);
  // Not a blank area: pictures were drawn into it.
  EXPECT_GT(std::count_if(bmp.begin() + 54, bmp.end(), [](std::uint8_t b) { return b > 40; }), 10000);
}

TEST_F(PlayCli, SoundReachesTheSoundDriverAsRecorded) {
  // The tone the recording carries, frame after frame.
  std::vector<std::uint8_t> recorded = recordedSound(sample);
  const std::vector<std::uint8_t> played = soundPlayed({"play", sample, "--seconds", "2"});

  // While the device waits for samples (before the first, and whenever a busy
  // machine lets the ring run low) the driver writes silence, 0x80. Leaving
  // that byte out of both, what was heard is the tone, in order, with
  // nothing lost or repeated.
  const auto withoutSilence = [](std::vector<std::uint8_t> bytes) {
    bytes.erase(std::remove(bytes.begin(), bytes.end(), 0x80), bytes.end());
    return bytes;
  };
  const std::vector<std::uint8_t> heard = withoutSilence(played);
  recorded = withoutSilence(recorded);
  ASSERT_GE(heard.size(), 7000u) << "about a second of sound at least";
  ASSERT_LE(heard.size(), recorded.size());
  EXPECT_TRUE(std::equal(heard.begin(), heard.end(), recorded.begin()));
}

// Recorders of variants 0 to 3 compand their sound: a sample made for one of
// them plays as the tone it carries, each A-law byte one 16-bit sample.
TEST_F(PlayCli, CompandedSoundOfOlderRecordersPlaysAsRecorded) {
  const std::string recording = dir.file("qk4.QKV");
  ASSERT_EQ(runMarlin(dir, {"make-sample", recording, "--variant", "0", "--audio", "--seconds", "4"}).status, 0);
  const std::vector<std::uint8_t> companded = recordedSound(recording);
  std::vector<std::int16_t> recorded;
  std::transform(companded.begin(), companded.end(), std::back_inserter(recorded), alawToLinear);
  const std::vector<std::uint8_t> bytes = soundPlayed({"play", recording, "--variant", "0", "--seconds", "2"});

  // 16-bit little-endian samples, with the driver's silence (0) left out of both.
  std::vector<std::int16_t> heard;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    if (const auto sample16 = static_cast<std::int16_t>(bytes[i] | bytes[i + 1] << 8); sample16 != 0) {
      heard.push_back(sample16);
    }
  }
  std::erase(recorded, 0);
  ASSERT_GE(heard.size(), 7000u) << "about a second of sound at least";
  ASSERT_LE(heard.size(), recorded.size());
  // 16-bit samples leave the ring's margin only 64 ms: a machine too busy to
  // feed the device for longer makes it replay old samples, even at the
  // start, so what is held to the letter is half a second heard without a
  // break, from wherever in the recording it starts.
  std::ptrdiff_t longestRun = 0;
  for (auto from = heard.begin(); from + 16 <= heard.end() && longestRun < 4000;) {
    const auto at = std::search(recorded.begin(), recorded.end(), from, from + 16);
    if (at == recorded.end()) {
      ++from;
      continue;
    }
    const std::ptrdiff_t run = std::mismatch(from, heard.end(), at, recorded.end()).first - from;
    longestRun = std::max(longestRun, run);
    from += run;
  }
  EXPECT_GE(longestRun, 4000) << "of " << heard.size() << " samples heard";

  // And it is the sample's 440 Hz tone at three quarters of full scale.
  const std::vector<std::int16_t> second(recorded.begin(), recorded.begin() + 8000);
  EXPECT_NEAR(*std::max_element(second.begin(), second.end()), 24576, 1024);
  int signChanges = 0;
  for (std::size_t i = 1; i < second.size(); ++i) {
    signChanges += (second[i - 1] < 0) != (second[i] < 0) ? 1 : 0;
  }
  EXPECT_NEAR(signChanges, 880, 20);
}

TEST_F(PlayCli, ASixteenChannelRecordingTakesTheSixteenSplit) {
  const std::string sixteen = dir.file("sixteen.QKV");
  ASSERT_EQ(runMarlin(dir, {"make-sample", sixteen, "--channels", "16", "--seconds", "3"}).status, 0);
  expectOneLineFailure(runMarlin(dir, {"play", sixteen, "--split", "16", "--page", "1"}), "page 1");
  sample = sixteen;
  const Events events = play({"--split", "16"});
  ASSERT_GE(events.pictures.size(), 16u);
  for (std::size_t i = 0; i < 16; ++i) {
    EXPECT_EQ(events.pictures[i].channel, static_cast<int>(i));
  }
}

TEST_F(PlayCli, StartsWhereAJumpWouldByTimeOrPositionInEitherDirection) {
  // By time: every camera first shows its picture of that moment, then play
  // goes on forward from there.
  Events events = play({"--start", "2010-01-01 12:00:05"});
  ASSERT_GE(events.pictures.size(), 8u);
  std::set<int> primed;
  std::set<std::string> times;
  for (std::size_t i = 0; i < 4; ++i) {
    primed.insert(events.pictures[i].channel);
    times.insert(events.pictures[i].time);
  }
  EXPECT_EQ(primed, (std::set<int>{0, 1, 2, 3}));
  // The picture at the time and the others' last ones before it.
  EXPECT_EQ(*times.rbegin(), "2010-01-01 12:00:05");
  EXPECT_GE(*times.begin(), "2010-01-01 12:00:04");
  EXPECT_GT(events.pictures[4].position, events.pictures[3].position);
  EXPECT_EQ(std::count(events.states.begin(), events.states.end(), "forward 1"), 1);

  // By position, backward.
  const std::uint64_t middle = fs::file_size(sample) / 2;
  events = play({"--start", std::to_string(middle), "--reverse"});
  ASSERT_GE(events.pictures.size(), 8u);
  EXPECT_NE(std::find(events.states.begin(), events.states.end(), "reverse 1"), events.states.end());
  for (std::size_t i = 4; i < events.pictures.size(); ++i) {
    EXPECT_LT(events.pictures[i].position, middle);
    EXPECT_LT(events.pictures[i].position, events.pictures[i - 1].position);
  }

  expectOneLineFailure(runMarlin(dir, {"play", sample, "--start", "2010-01-01 13:00:00"}),
                       "--start 2010-01-01 13:00:00 is after the recording, which ends at 2010-01-01 12:00:09");
  expectOneLineFailure(runMarlin(dir, {"play", sample, "--start", std::to_string(fs::file_size(sample))}),
                       "is at or past the end of the recording");
  expectOneLineFailure(runMarlin(dir, {"play", sample, "--start", "noon"}), "--start noon");
}

TEST_F(PlayCli, RefusesWhatItCannotDoWithOneLine) {
  expectOneLineFailure(runMarlin(dir, {"play", sample, "--split", "16"}), "split 16");
  expectOneLineFailure(runMarlin(dir, {"play", sample, "--split", "4", "--page", "1"}), "page 1");
  expectOneLineFailure(runMarlin(dir, {"play", sample, "--speed", "12"}), "--speed");
  expectOneLineFailure(runMarlin(dir, {"play", dir.file("missing.QKV")}), "missing.QKV");
  expectOneLineFailure(runMarlin(dir, {"play", sample, "--snapshot-every", "3"}), "--out");
}

}  // namespace
}  // namespace marlin::testing
