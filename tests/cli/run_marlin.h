#pragma once

// Runs the marlin tool as a separate process and checks how it fails.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "support/temp_dir.h"
#include "support/wait_until.h"

namespace marlin::testing {

struct Result {
  bool exited = false;
  int status = -1;  // exit status, or the signal
  bool timedOut = false;
  std::string out;
  std::string err;
};

inline std::ostream& operator<<(std::ostream& os, const Result& r) {
  return os << (r.timedOut ? "killed after the time allowed, " : "") << (r.exited ? "exit " : "signal ") << r.status
            << "\nstdout:\n"
            << r.out << "stderr:\n"
            << r.err;
}

struct RunOptions {
  // After this the tool is killed, so that a hang fails the test instead of
  // stopping the suite; zero waits as long as it takes.
  std::chrono::milliseconds timeout{0};
  // Runs in the child before the tool starts: limits, environment.
  std::function<void()> inChild;
};

// The child's exit status, waiting at most until the deadline (if any).
inline bool waitForChild(pid_t child, std::chrono::milliseconds timeout, int& status) {
  if (timeout.count() == 0) {
    return ::waitpid(child, &status, 0) == child;
  }
  pid_t done = 0;
  return waitUntil([&] { return (done = ::waitpid(child, &status, WNOHANG)) != 0; }, timeout) && done == child;
}

inline Result runMarlin(const TempDir& dir, const std::vector<std::string>& args, const RunOptions& options = {}) {
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
    if (options.inChild) {
      options.inChild();
    }
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
  if (child < 0) {
    ADD_FAILURE() << "cannot run " << cli;
    return result;
  }
  if (!waitForChild(child, options.timeout, status)) {
    ::kill(child, SIGKILL);
    ::waitpid(child, &status, 0);
    result.timedOut = true;
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
  EXPECT_FALSE(r.timedOut) << r;
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
