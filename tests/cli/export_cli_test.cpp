#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "marlin_process.h"
#include "run_marlin.h"

namespace marlin::testing {
namespace {

constexpr std::chrono::milliseconds kPatience{120000};

// ffprobe's csv lines for the entries asked of the streams chosen.
std::string probe(const std::string& path, const std::string& streams, const std::string& entries) {
  const std::string command = "/usr/bin/ffprobe -v error -count_frames -select_streams " + streams +
                              " -show_entries stream=" + entries + " -of csv=p=0 '" + path + "'";
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return out;
  char line[256];
  while (std::fgets(line, sizeof line, pipe) != nullptr) out += line;
  pclose(pipe);
  return out;
}

// The sample starts at 2010-01-01 12:00:00 and holds four channels with sound.
TEST(ExportCli, TimeRangeOfTwoChannelsIntoMatroskaWithSound) {
  if (!std::filesystem::exists("/usr/bin/ffprobe")) GTEST_SKIP() << "ffprobe is not installed";
  TempDir dir;
  const std::string output = dir.file("clip.mkv");
  const Result r = runMarlin(dir,
                             {"export", MARLIN_SAMPLE_RECORDING, output, "--channels", "1,3", "--from",
                              "2010-01-01 12:00:02", "--to", "2010-01-01 12:00:05"},
                             {kPatience, {}});
  ASSERT_TRUE(r.exited && r.status == 0) << r;
  EXPECT_FALSE(std::filesystem::exists(dir.file("clip-CH2.mkv")));
  for (const std::string channel : {"1", "3"}) {
    SCOPED_TRACE("channel " + channel);
    const std::string path = dir.file("clip-CH" + channel + ".mkv");
    std::smatch summary;
    const std::regex line("CH" + channel + " +\\S+-CH" + channel + "\\.mkv  ([0-9]+) frames  ([0-9.]+) s");
    ASSERT_TRUE(std::regex_search(r.out, summary, line)) << r;
    const int frames = std::stoi(summary[1]);
    // Three seconds of a channel's share of about 30 pictures a second.
    EXPECT_GT(frames, 15);
    EXPECT_LT(frames, 30);
    EXPECT_EQ(probe(path, "a", "codec_name,sample_rate"), "pcm_u8,8000\n");
    EXPECT_EQ(probe(path, "v", "codec_name,nb_read_frames"), "h264," + std::to_string(frames) + "\n");
  }
  EXPECT_NE(r.out.find("damaged stretches skipped: 0"), std::string::npos) << r;
}

TEST(ExportCli, EventsGiveOneJsonLinePerFileForAByteRange) {
  TempDir dir;
  const Result r = runMarlin(dir,
                             {"export", MARLIN_SAMPLE_RECORDING, dir.file("part.avi"), "--from", "0", "--to", "200000",
                              "--no-audio", "--no-stamp", "--events"},
                             {kPatience, {}});
  ASSERT_TRUE(r.exited && r.status == 0) << r;
  const std::regex file(
      "\\{\"event\":\"file\",\"channel\":([0-9]+),\"path\":\"[^\"]+-CH\\1\\.avi\","
      "\"frames\":([0-9]+),\"seconds\":[0-9.]+,\"timing\":\"sound paced\",\"bytes\":[0-9]+,\"failure\":\"\"\\}\n");
  int files = 0;
  for (auto it = std::sregex_iterator(r.out.begin(), r.out.end(), file); it != std::sregex_iterator(); ++it) {
    ++files;
    // 200000 of the sample's 499712 bytes hold about four of its ten seconds: some 30 pictures a channel.
    EXPECT_GT(std::stoi((*it)[2]), 20) << r;
    EXPECT_LT(std::stoi((*it)[2]), 40) << r;
  }
  EXPECT_EQ(files, 4) << r;
  EXPECT_TRUE(r.out.ends_with("{\"event\":\"done\",\"damagedStretches\":0}\n")) << r;
}

// An export killed outright (no chance to finish its files) leaves MP4 and Matroska files that play up to
// their last whole fragment or cluster.
TEST(ExportCli, AKilledExportLeavesPlayableFiles) {
  if (!std::filesystem::exists("/usr/bin/ffprobe")) GTEST_SKIP() << "ffprobe is not installed";
  TempDir dir;
  const Result made =
      runMarlin(dir, {"make-sample", dir.file("long.QKV"), "--channels", "1", "--seconds", "30"}, {kPatience, {}});
  ASSERT_TRUE(made.exited && made.status == 0) << made;
  for (const std::string extension : {".mp4", ".mkv"}) {
    SCOPED_TRACE(extension);
    MarlinProcess exporting(dir, {"export", dir.file("long.QKV"), dir.file("cut" + extension), "--events"});
    // Three seconds of pictures: the first fragment (a key frame a second) is in the file.
    bool underway = false;
    while (std::optional<std::string> line = exporting.readLine()) {
      std::smatch frames;
      if (std::regex_search(*line, frames, std::regex("\"frames\":([0-9]+)")) && std::stoi(frames[1]) >= 90) {
        underway = true;
        break;
      }
    }
    const Result killed = exporting.finish(SIGKILL);
    ASSERT_TRUE(underway) << killed;
    const std::string seen = probe(dir.file("cut-CH1" + extension), "v", "codec_name,nb_read_frames");
    std::smatch frames;
    ASSERT_TRUE(std::regex_match(seen, frames, std::regex("h264,([0-9]+)\n"))) << seen;
    EXPECT_GE(std::stoi(frames[1]), 30);
  }
}

TEST(ExportCli, TimeOutsideTheRecordingIsRefusedClearly) {
  TempDir dir;
  const Result r =
      runMarlin(dir, {"export", MARLIN_SAMPLE_RECORDING, dir.file("clip.avi"), "--from", "2009-12-31 23:00:00"});
  expectOneLineFailure(r, "is before the recording, which starts at 2010-01-01 12:00:00");
  EXPECT_FALSE(std::filesystem::exists(dir.file("clip-CH1.avi")));
}

// A range that holds nothing is refused in the terms it was given in, and no file is made: a --to at the first
// second (which finds byte 0), a reversed pair of times or positions, a --from at the end.
TEST(ExportCli, EmptyAndReversedRangesAreRefused) {
  TempDir dir;
  const std::string output = dir.file("clip.avi");
  struct Case {
    std::vector<std::string> range;
    int status;
    std::string said;
  };
  const std::uint64_t size = std::filesystem::file_size(MARLIN_SAMPLE_RECORDING);
  const Case cases[] = {
      {{"--to", "2010-01-01 12:00:00"},
       2,
       "the range is empty: --to 2010-01-01 12:00:00 does not come after the recording's start"},
      {{"--from", "2010-01-01 12:00:05", "--to", "2010-01-01 12:00:02"},
       2,
       "the range is empty: --to 2010-01-01 12:00:02 does not come after --from 2010-01-01 12:00:05"},
      {{"--from", "4096", "--to", "0"}, 2, "the range is empty: --to 0 does not come after --from 4096"},
      {{"--from", std::to_string(size)},
       1,
       "--from " + std::to_string(size) + " is at or past the end of the recording (" + std::to_string(size) +
           " bytes)"},
  };
  for (const Case& refused : cases) {
    SCOPED_TRACE(refused.said);
    std::vector<std::string> args{"export", MARLIN_SAMPLE_RECORDING, output};
    args.insert(args.end(), refused.range.begin(), refused.range.end());
    const Result r = runMarlin(dir, args);
    expectOneLineFailure(r, refused.said);
    EXPECT_EQ(r.status, refused.status);
    EXPECT_FALSE(std::filesystem::exists(dir.file("clip-CH1.avi")));
  }
}

// An output name's extension chooses the container: an unknown one is refused before anything is written, with the
// ones known; none at all means AVI.
TEST(ExportCli, UnknownExtensionsAreRefusedAndNoneMeansAvi) {
  TempDir dir;
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"export", MARLIN_SAMPLE_RECORDING, dir.file("sound.wav")},
           {"play", MARLIN_SAMPLE_RECORDING, "--no-audio", "--avi", dir.file("sound.wav")},
       }) {
    SCOPED_TRACE(args[0]);
    const Result r = runMarlin(dir, args);
    expectOneLineFailure(r, "unknown extension \".wav\"; the files written are .avi, .mkv and .mp4");
    EXPECT_EQ(r.status, 2);
  }
  EXPECT_FALSE(std::filesystem::exists(dir.file("sound-CH1.wav")));
  EXPECT_FALSE(std::filesystem::exists(dir.file("sound.wav")));
  const Result r = runMarlin(
      dir, {"export", MARLIN_SAMPLE_RECORDING, dir.file("clip"), "--channels", "1", "--to", "20000", "--no-audio"});
  ASSERT_TRUE(r.exited && r.status == 0) << r;
  const std::vector<std::uint8_t> made = readFile(dir.file("clip-CH1.avi"));
  ASSERT_GE(made.size(), 12u);
  EXPECT_EQ(std::string(made.begin() + 8, made.begin() + 12), "AVI ");
}

// Ctrl-C during an export finishes every file with what was written so far, instead of leaving it without its index.
TEST(ExportCli, InterruptFinishesTheFilesWrittenSoFar) {
  if (!std::filesystem::exists("/usr/bin/ffprobe")) GTEST_SKIP() << "ffprobe is not installed";
  TempDir dir;
  // FFV1 is the slowest codec: the sample takes seconds to export, and the first progress line comes after half of one.
  MarlinProcess exporting(dir, {"export", MARLIN_SAMPLE_RECORDING, dir.file("cut.avi"), "--codec", "ffv1", "--events"});
  ASSERT_TRUE(exporting.readUntil("\"event\":\"progress\"").size() > 0);
  const Result r = exporting.finish(SIGINT);
  ASSERT_TRUE(r.exited) << r;
  EXPECT_EQ(r.status, 130) << r;
  EXPECT_NE(r.err.find("interrupted"), std::string::npos) << r;
  std::smatch file;
  ASSERT_TRUE(std::regex_search(r.out, file, std::regex("\"channel\":1,\"path\":\"[^\"]+\",\"frames\":([0-9]+)"))) << r;
  const int frames = std::stoi(file[1]);
  EXPECT_GT(frames, 0);
  // The whole sample would have been 75 pictures a channel.
  EXPECT_LT(frames, 75);
  EXPECT_EQ(probe(dir.file("cut-CH1.avi"), "v", "codec_name,nb_read_frames"), "ffv1," + std::to_string(frames) + "\n");
}

}  // namespace
}  // namespace marlin::testing
