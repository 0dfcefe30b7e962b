// marlin play --avi and marlin live --avi: what is shown captured into an AVI
// file, as a player (ffprobe) reads it back.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "marlin_process.h"

namespace marlin::testing {
namespace {

// ffprobe's output lines for the file; fails the test when it cannot run.
std::vector<std::string> probe(const std::string& entries, const std::string& path) {
  const std::string command = "/usr/bin/ffprobe -v error " + entries + " -of csv=p=0 '" + path + "'";
  std::vector<std::string> lines;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) {
    ADD_FAILURE() << "cannot run " << command;
    return lines;
  }
  char line[256];
  while (std::fgets(line, sizeof line, pipe) != nullptr) {
    lines.emplace_back(line, std::strcspn(line, "\n"));
  }
  EXPECT_EQ(pclose(pipe), 0) << command;
  return lines;
}

// What the tool says went into the capture, from its avi event line.
struct Reported {
  long frames = -1;
  long samples = -1;
};

Reported reported(const std::string& out) {
  static const std::regex line(R"re(\{"event":"avi","frames":(\d+),"samples":(\d+)\})re");
  std::smatch match;
  if (!std::regex_search(out, match, line)) {
    ADD_FAILURE() << "no avi event in:\n" << out;
    return {};
  }
  return {std::stol(match[1]), std::stol(match[2])};
}

// The file holds every frame and sound sample reported: the sample source's
// four channels composed (or its DVR's screen line-doubled) at 640 by two
// fields of 224 lines, 8-bit sound at 8000 Hz as stored.
void expectCaptureHolds(const std::string& avi, const Reported& said, const std::string& rate) {
  EXPECT_GT(said.frames, 0);
  EXPECT_GT(said.samples, 0);
  EXPECT_EQ(probe("-count_packets -select_streams v:0 -show_entries "
                  "stream=codec_name,width,height,r_frame_rate,nb_read_packets",
                  avi),
            std::vector<std::string>{"rawvideo,640,448," + rate + "," + std::to_string(said.frames)});
  EXPECT_EQ(probe("-select_streams a:0 -show_entries stream=codec_name,sample_rate", avi),
            std::vector<std::string>{"pcm_u8,8000"});
  long bytes = 0;
  for (const std::string& size : probe("-select_streams a:0 -show_entries packet=size", avi)) {
    bytes += std::stol(size);
  }
  EXPECT_EQ(bytes, said.samples);
}

class AviCaptureCli : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists("/usr/bin/ffprobe")) GTEST_SKIP() << "ffprobe is not installed";
  }

  std::string sample = MARLIN_SAMPLE_RECORDING;
  TempDir dir;
  std::string avi = dir.file("capture.avi");
};

// The sample records about 30 pictures a second over its four channels: each
// channel's 7.5, cut to 7 frames a second. Ctrl-C ends the run as its end
// would, with the file finished.
TEST_F(AviCaptureCli, PlayCapturesTheSplitViewWithTheRecordingsSoundUntilInterrupted) {
  MarlinProcess play(dir, {"play", sample, "--events", "--no-audio", "--seconds", "60", "--avi", avi});
  for (int picture = 0; picture < 40; ++picture) {
    ASSERT_FALSE(play.readUntil("\"event\":\"picture\"").empty());
  }
  const Result r = play.finish(SIGINT);
  ASSERT_TRUE(r.exited && r.status == 130) << r;
  expectCaptureHolds(avi, reported(r.out), "7/1");
}

// At low speed a frame goes in only with each sound packet, which the DVR
// simulator sends 1000 samples at a time. Ctrl-C ends the session as its end
// would, logged out and with the file finished.
TEST_F(AviCaptureCli, LiveAtLowSpeedWritesAFrameWithEachSoundPacketUntilInterrupted) {
  std::uint16_t port = 0;
  auto dvr = serveDvr(dir, sample, {"--password", "pw", "--fps", "30"}, port);
  MarlinProcess live(dir, {"live", "--host", "127.0.0.1", "--port", std::to_string(port), "--password", "pw",
                           "--seconds", "60", "--no-audio", "--events", "--avi", avi, "--low-speed"});
  for (int packet = 0; packet < 10; ++packet) {
    ASSERT_FALSE(live.readUntil("\"event\":\"audio\"").empty());
  }
  const Result r = live.finish(SIGINT);
  ASSERT_TRUE(r.exited && r.status == 130) << r;
  const Reported said = reported(r.out);
  expectCaptureHolds(avi, said, "25/1");
  EXPECT_EQ(said.samples, said.frames * 1000);
  const Result served = dvr->finish(SIGTERM);
  EXPECT_NE(served.out.find(R"({"event":"logout"})"), std::string::npos) << served;
}

}  // namespace
}  // namespace marlin::testing
