// marlin export --evidence: a signed folder made from the sample holds what
// the outside tools (sha256sum, ffprobe, openssl) and marlin verify expect,
// and a folder that already holds something is left alone.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <regex>
#include <string>

#include "base/calendar.h"
#include "cli/run_marlin.h"
#include "evidence/json_reader.h"
#include "evidence/json_value.h"

namespace marlin::testing {
namespace {

namespace fs = std::filesystem;

constexpr std::chrono::milliseconds kPatience{120000};

// What a shell command printed, and whether it succeeded.
struct Shell {
  bool ok = false;
  std::string out;
};

Shell shell(const std::string& command) {
  Shell result;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return result;
  char line[512];
  while (std::fgets(line, sizeof line, pipe) != nullptr) result.out += line;
  result.ok = pclose(pipe) == 0;
  return result;
}

std::string textOf(const std::string& path) {
  const std::vector<std::uint8_t> bytes = readFile(path);
  return {bytes.begin(), bytes.end()};
}

TEST(EvidenceCli, ASignedFolderChecksWithSha256sumFfprobeOpensslAndVerify) {
  for (const char* tool : {"/usr/bin/ffprobe", "/usr/bin/openssl", "/usr/bin/sha256sum"}) {
    if (!fs::exists(tool)) GTEST_SKIP() << tool << " is not installed";
  }
  TempDir dir;
  const std::string key = dir.file("key.pem");
  ASSERT_TRUE(shell("openssl genpkey -algorithm ed25519 -out '" + key + "'").ok);
  const std::string folder = dir.file("case 1");
  const Result r = runMarlin(dir,
                             {"export", MARLIN_SAMPLE_RECORDING, "--evidence", folder, "--channels", "1,3", "--from",
                              "2010-01-01 12:00:02", "--to", "2010-01-01 12:00:06", "--sign", key},
                             {kPatience, {}});
  ASSERT_TRUE(r.exited && r.status == 0) << r;
  for (const char* name :
       {"original.QKV", "CH1.mp4", "CH3.mp4", "manifest.json", "SHA256SUMS", "manifest.sig", "public_key.pem"}) {
    EXPECT_TRUE(fs::exists(folder + "/" + name)) << name;
  }
  EXPECT_FALSE(fs::exists(folder + "/CH2.mp4"));

  const std::string inFolder = "cd '" + folder + "' && ";
  const Shell sums = shell(inFolder + "sha256sum -c SHA256SUMS");
  EXPECT_TRUE(sums.ok) << sums.out;
  const Shell signature =
      shell(inFolder +
            "openssl pkeyutl -verify -pubin -inkey public_key.pem -rawin -in manifest.json -sigfile "
            "manifest.sig");
  EXPECT_TRUE(signature.ok) << signature.out;

  evidence::JsonValue manifest;
  ASSERT_TRUE(evidence::readJson(textOf(folder + "/manifest.json"), manifest).isOk());
  const evidence::JsonValue* exported = manifest.find("range")->find("exported");
  ASSERT_NE(exported, nullptr);
  const auto start = parseCalendarTime(exported->find("start_time")->text());
  const auto end = parseCalendarTime(exported->find("end_time")->text());
  ASSERT_TRUE(start && end);
  const double span = *timestampFromCalendar(*end, 0) - *timestampFromCalendar(*start, 0) + 1.0;
  // The copy is the whole blocks of the range, as `marlin cut` makes them.
  ASSERT_TRUE(runMarlin(dir, {"cut", MARLIN_SAMPLE_RECORDING, std::to_string(*exported->find("start")->exactUnsigned()),
                              std::to_string(*exported->find("end")->exactUnsigned() - 1), dir.file("cut.QKV")})
                  .status == 0);
  EXPECT_EQ(readFile(dir.file("cut.QKV")), readFile(folder + "/original.QKV"));

  const Shell streams = shell(
      "ffprobe -v error -show_entries stream=codec_name,duration -show_entries "
      "format_tags=creation_time -of csv=p=0 '" +
      folder + "/CH1.mp4'");
  ASSERT_TRUE(streams.ok) << streams.out;
  EXPECT_NE(streams.out.find("aac,"), std::string::npos) << streams.out;
  EXPECT_NE(streams.out.find("mov_text,"), std::string::npos) << streams.out;
  std::smatch video;
  ASSERT_TRUE(std::regex_search(streams.out, video, std::regex("h264,([0-9.]+)"))) << streams.out;
  // Each picture at its block's second: the copy lasts as long as the block times it covers.
  EXPECT_NEAR(std::stod(video[1]), span, 0.01) << streams.out;
  EXPECT_NE(streams.out.find(formatCalendarTime(*start).replace(10, 1, "T")), std::string::npos) << streams.out;

  const Result verified = runMarlin(dir, {"verify", folder});
  EXPECT_TRUE(verified.exited && verified.status == 0) << verified;
  EXPECT_NE(verified.out.find("verdict: intact"), std::string::npos) << verified;

  // A folder that holds anything is not written into, and keeps what it holds.
  writeFile(folder + "/notes.txt", {'n'});
  const Result again =
      runMarlin(dir, {"export", MARLIN_SAMPLE_RECORDING, "--evidence", folder, "--channels", "1"}, {kPatience, {}});
  EXPECT_EQ(again.status, 1) << again;
  EXPECT_NE(again.err.find("is not empty"), std::string::npos) << again;
  EXPECT_TRUE(shell(inFolder + "sha256sum -c --quiet SHA256SUMS").ok);
  const Result added = runMarlin(dir, {"verify", folder});
  EXPECT_EQ(added.status, 1) << added;
  EXPECT_NE(added.out.find("ADDED notes.txt"), std::string::npos) << added;
}

}  // namespace
}  // namespace marlin::testing
