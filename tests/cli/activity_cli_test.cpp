// marlin activity on recordings whose motion is known: every scheduled
// motion found and nothing else, noise ignored, with regions, cameras and
// ranges, for conditional pictures and for refresh pictures alone.

#include <gtest/gtest.h>

#include <regex>

#include "cli/run_marlin.h"

namespace marlin::testing {
namespace {

struct Found {
  int channel;
  int start;  // seconds after 12:00:00
  int end;
};

std::vector<Found> events(const Result& run) {
  std::vector<Found> found;
  const std::regex line(
      R"re(\{"event":"activity","channel":(\d+),"start":"2010-01-01 12:(\d\d):(\d\d)","end":"2010-01-01 12:(\d\d):(\d\d)")re");
  for (std::sregex_iterator it(run.out.begin(), run.out.end(), line), end; it != end; ++it) {
    const std::smatch& m = *it;
    found.push_back({std::stoi(m[1]), 60 * std::stoi(m[2]) + std::stoi(m[3]), 60 * std::stoi(m[4]) + std::stoi(m[5])});
  }
  return found;
}

TEST(ActivityCli, FindsTheScheduledMotionAndNothingElse) {
  TempDir dir;
  for (const bool conditional : {true, false}) {
    SCOPED_TRACE(conditional ? "conditional pictures" : "refresh pictures only");
    const std::string recording = dir.file(conditional ? "motion-c.QKV" : "motion-r.QKV");
    std::vector<std::string> make = {"make-sample", recording, "--channels", "4",
                                     "--seconds",   "20",      "--noise",    "4",
                                     "--motion",    "1:3-7",   "--motion",   "3:10-15@320,64,160,128"};
    if (conditional) {
      make.push_back("--conditional");
    }
    ASSERT_EQ(runMarlin(dir, make).status, 0);
    const auto activity = [&](std::vector<std::string> options) {
      options.insert(options.begin(), {"activity", recording, "--json", "--no-cache"});
      const Result run = runMarlin(dir, options);
      EXPECT_EQ(run.status, 0) << run;
      EXPECT_NE(run.out.find("{\"event\":\"summary\""), std::string::npos) << run;
      return events(run);
    };

    const std::vector<Found> all = activity({});
    ASSERT_EQ(all.size(), 2u) << conditional;
    EXPECT_EQ(all[0].channel, 0);
    EXPECT_NEAR(all[0].start, 3, 1);
    EXPECT_NEAR(all[0].end, 7, 2);
    EXPECT_EQ(all[1].channel, 2);
    EXPECT_NEAR(all[1].start, 10, 1);
    EXPECT_NEAR(all[1].end, 15, 2);

    // A region away from camera 3's box, and one around it.
    const std::vector<Found> away = activity({"--channels", "3", "--region", "0,0,160,64"});
    EXPECT_TRUE(away.empty());
    const std::vector<Found> around = activity({"--channels", "3", "--region", "320,64,160,128"});
    ASSERT_EQ(around.size(), 1u);
    EXPECT_EQ(around[0].channel, 2);
    // Cameras and a range.
    const std::vector<Found> first = activity({"--channels", "1,2"});
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first[0].channel, 0);
    const std::vector<Found> later = activity({"--from", "2010-01-01 12:00:09"});
    ASSERT_EQ(later.size(), 1u);
    EXPECT_EQ(later[0].channel, 2);
  }
}

TEST(ActivityCli, TheIndexIsKeptAndAskedWrongIsAUsageError) {
  TempDir dir;
  const auto inCache = [&dir] { ::setenv("XDG_CACHE_HOME", dir.file("cache").c_str(), 1); };
  const Result built = runMarlin(dir, {"activity", MARLIN_SAMPLE_RECORDING, "--json"}, {{}, inCache});
  ASSERT_EQ(built.status, 0) << built;
  EXPECT_NE(built.out.find("\"index\":\"built\""), std::string::npos) << built;
  const Result kept = runMarlin(dir, {"activity", MARLIN_SAMPLE_RECORDING}, {{}, inCache});
  ASSERT_EQ(kept.status, 0) << kept;
  EXPECT_NE(kept.out.find("(index cached)"), std::string::npos) << kept;
  // The table and a bar of the first minute for each camera the ball moves in.
  EXPECT_NE(kept.out.find("channel  start"), std::string::npos) << kept;
  EXPECT_NE(kept.out.find("CH4  2010-01-01 12:00 |"), std::string::npos) << kept;

  for (const std::vector<std::string>& wrong :
       {std::vector<std::string>{"--region", "600,0,100,10"}, {"--region", "1,2,3"}, {"--sensitivity", "11"}}) {
    std::vector<std::string> args = {"activity", MARLIN_SAMPLE_RECORDING};
    args.insert(args.end(), wrong.begin(), wrong.end());
    const Result refused = runMarlin(dir, args, {{}, inCache});
    EXPECT_EQ(refused.status, 2) << refused;
  }
}

}  // namespace
}  // namespace marlin::testing
