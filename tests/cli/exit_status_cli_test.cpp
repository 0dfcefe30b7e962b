// The tool as scripts see it: what --version and --help answer, and the
// exit status that tells a wrong command line from a failed command.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "run_marlin.h"

namespace marlin::testing {
namespace {

constexpr int kUsage = 2;
const std::string kCommands =
    "info, frames, cut, export, verify, activity, still, disks, decode, make-sample, play, live, serve-dvr";

TEST(ExitStatusCli, VersionAndHelpAnswerOnStandardOutput) {
  TempDir dir;
  const Result version = runMarlin(dir, {"--version"});
  EXPECT_EQ(version.status, 0) << version;
  EXPECT_EQ(version.out, "marlin " MARLIN_VERSION "\n") << version;
  EXPECT_EQ(version.err, "") << version;

  const Result help = runMarlin(dir, {"--help"});
  EXPECT_EQ(help.status, 0) << help;
  EXPECT_NE(help.out.find("Exit status:"), std::string::npos) << help;
  EXPECT_NE(help.out.find("  2    usage error"), std::string::npos) << help;
  EXPECT_EQ(help.err, "") << help;
  const Result commandHelp = runMarlin(dir, {"info", "--help"});
  EXPECT_EQ(commandHelp.status, 0) << commandHelp;
  EXPECT_NE(commandHelp.out.find("--json"), std::string::npos) << commandHelp;
}

TEST(ExitStatusCli, AWordThatIsNoCommandIsNamedWithTheCommandsThereAre) {
  TempDir dir;
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"bogus", "file.QKV"}, {"--verbose", "bogus"}}) {
    SCOPED_TRACE(args[0] + " " + args[1]);
    const Result r = runMarlin(dir, args);
    expectOneLineFailure(r, "marlin: unknown command 'bogus' (commands: " + kCommands + ")");
    EXPECT_EQ(r.status, kUsage);
  }
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{{}, {"--verbose"}}) {
    const Result r = runMarlin(dir, args);
    expectOneLineFailure(r, "marlin: no command given (commands: " + kCommands + ")");
    EXPECT_EQ(r.status, kUsage);
  }
}

// Whether the parser or the command itself finds the fault, a command line
// that cannot be carried out exits with 2 before anything is done.
TEST(ExitStatusCli, EveryUsageErrorExitsWithTwo) {
  TempDir dir;
  const std::string sample = MARLIN_SAMPLE_RECORDING;
  const std::string out = dir.file("out.avi");
  const std::vector<std::vector<std::string>> wrongLines{
      {"info"},                                                   // a required argument missing
      {"info", sample, "extra"},                                  // one argument too many
      {"info", sample, "--bogus"},                                // an unknown option
      {"--bogus", "info", sample},                                // ... of the tool itself
      {"export", sample, out, "--quality", "best"},               // not a number
      {"export", sample, out, "--codec", "vp9"},                  // not one of the values
      {"frames", sample, "--from", "1", "--mark", "2"},           // options that exclude each other
      {"live", "--ddns", "127.0.0.1:1800"},                       // one that needs another
      {"decode", sample, "--format", "bmp"},                      // a required option missing
      {"export", sample, out, "--from", "yesterday"},             // neither a position nor a time
      {"export", sample, out, "--from", "2000", "--to", "1000"},  // an empty range
      {"export", sample, dir.file("out.wav")},                    // an unknown container
      {"play", sample, "--speed", "12"},                          // the command's own checks
      {"play", sample, "--snapshot-every", "5"},
      {"play", sample, "--avi", out, "--reverse"},
      {"live", "--seconds", "5"},
      {"live", "--host", "127.0.0.1", "--timeout", "0"},
      {"live", "--host", "127.0.0.1", "--mouse", "9,1,1"},
      {"live", "--ddns", "127.0.0.1", "--name", "dvr"},
  };
  // A line taken as right would start to work (and live to connect): it must not hang the test.
  RunOptions bounded;
  bounded.timeout = kPatience;
  for (const std::vector<std::string>& args : wrongLines) {
    std::string line;
    for (const std::string& arg : args) line += " " + arg;
    SCOPED_TRACE(line);
    const Result r = runMarlin(dir, args, bounded);
    expectOneLineFailure(r);
    EXPECT_EQ(r.status, kUsage) << r;
  }
  EXPECT_FALSE(std::filesystem::exists(out));
}

TEST(ExitStatusCli, AFailedCommandExitsWithOne) {
  TempDir dir;
  const Result r = runMarlin(dir, {"info", dir.file("missing.QKV")});
  expectOneLineFailure(r, "missing.QKV");
  EXPECT_EQ(r.status, 1) << r;
}

}  // namespace
}  // namespace marlin::testing
