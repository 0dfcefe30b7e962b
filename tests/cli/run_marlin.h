#pragma once

// Runs the marlin tool as a separate process and checks how it fails.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <ostream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "support/temp_dir.h"

namespace marlin::testing {

struct Result {
  bool exited = false;
  int status = -1;  // exit status, or the signal
  std::string out;
  std::string err;
};

inline std::ostream& operator<<(std::ostream& os, const Result& r) {
  return os << (r.exited ? "exit " : "signal ") << r.status << "\nstdout:\n" << r.out << "stderr:\n" << r.err;
}

inline Result runMarlin(const TempDir& dir, const std::vector<std::string>& args) {
  const char* cli = std::getenv("MARLIN_CLI");
  if (cli == nullptr) {
    ADD_FAILURE() << "MARLIN_CLI is not set";
    return {};
  }
  const std::string outPath = dir.file(".stdout");
  const std::string errPath = dir.file(".stderr");
  const pid_t child = ::fork();
  if (child == 0) {
    const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0 || err < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0) {
      ::_exit(127);
    }
    ::setenv("TZ", "UTC0", 1);  // block times print as UTC
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(cli));
    for (const std::string& arg : args) {
      argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    ::execv(cli, argv.data());
    ::_exit(127);
  }
  Result result;
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child) {
    ADD_FAILURE() << "cannot run " << cli;
    return result;
  }
  result.exited = WIFEXITED(status);
  result.status = result.exited ? WEXITSTATUS(status) : WTERMSIG(status);
  const auto out = readFile(outPath);
  const auto err = readFile(errPath);
  result.out.assign(out.begin(), out.end());
  result.err.assign(err.begin(), err.end());
  return result;
}

// A failure as the tool must report it: a normal exit with a non-zero
// status, nothing on stdout, one line on stderr.
inline void expectOneLineFailure(const Result& r, const std::string& mention = "") {
  EXPECT_TRUE(r.exited) << r;
  EXPECT_NE(r.status, 0) << r;
  EXPECT_LT(r.status, 128) << r;
  EXPECT_EQ(r.out, "") << r;
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r;
  EXPECT_TRUE(!r.err.empty() && r.err.back() == '\n') << r;
  if (!mention.empty()) {
    EXPECT_NE(r.err.find(mention), std::string::npos) << "stderr should mention " << mention << "\n" << r;
  }
}

}  // namespace marlin::testing
