#pragma once

// Runs the marlin tool in the background, its output read line by line while
// it runs: for the commands that serve or connect until they are stopped.
#include <gtest/gtest.h>
#include <poll.h>

#include <chrono>
#include <csignal>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "run_marlin.h"

namespace marlin::testing {

class MarlinProcess {
 public:
  // Generous, so that a slow (sanitizer) build is not mistaken for a hang.

  // environment: NAME=VALUE settings added to the tool's environment.
  MarlinProcess(const TempDir& dir, const std::vector<std::string>& args,
                const std::vector<std::string>& environment = {})
      : errPath_(dir.file(".process-stderr")) {
    const char* cli = std::getenv("MARLIN_CLI");
    int pipeFds[2];
    if (cli == nullptr || ::pipe(pipeFds) != 0) {
      ADD_FAILURE() << "cannot run MARLIN_CLI";
      return;
    }
    pid_ = ::fork();
    if (pid_ == 0) {
      const int err = ::open(errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (err < 0 || ::dup2(pipeFds[1], 1) < 0 || ::dup2(err, 2) < 0) {
        ::_exit(127);
      }
      ::close(pipeFds[0]);
      for (const std::string& setting : environment) {
        ::putenv(const_cast<char*>(setting.c_str()));
      }
      std::vector<char*> argv = {const_cast<char*>(cli)};
      for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
      }
      argv.push_back(nullptr);
      ::execv(cli, argv.data());
      ::_exit(127);
    }
    ::close(pipeFds[1]);
    out_ = pipeFds[0];
  }

  ~MarlinProcess() {
    if (pid_ > 0 && !exited_) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) {
      ::close(out_);
    }
  }

  MarlinProcess(const MarlinProcess&) = delete;
  MarlinProcess& operator=(const MarlinProcess&) = delete;

  // The next line of standard output without its newline; nothing when the
  // output ended or no line came in time.
  std::optional<std::string> readLine(std::chrono::milliseconds limit = kPatience) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
      if (const std::size_t end = buffer_.find('\n'); end != std::string::npos) {
        std::string line = buffer_.substr(0, end);
        buffer_.erase(0, end + 1);
        return line;
      }
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      pollfd watched{out_, POLLIN, 0};
      if (::poll(&watched, 1, static_cast<int>(std::max<long>(left.count(), 0))) <= 0) {
        return std::nullopt;
      }
      char chunk[4096];
      const ssize_t n = ::read(out_, chunk, sizeof chunk);
      if (n <= 0) {
        return std::nullopt;
      }
      buffer_.append(chunk, static_cast<std::size_t>(n));
    }
  }

  // Reads lines up to and including the first that holds text; the lines
  // read, the last being the one found, or ending short of it.
  std::vector<std::string> readUntil(const std::string& text) {
    std::vector<std::string> lines;
    while (std::optional<std::string> line = readLine()) {
      lines.push_back(*line);
      if (line->find(text) != std::string::npos) {
        break;
      }
    }
    return lines;
  }

  // Sends signal (none: only waits) and the exit, as run_marlin reports it.
  Result finish(int signal = 0) {
    Result result;
    if (pid_ <= 0) {
      // Never started: a signal to pid -1 would go to every process we may signal.
      return result;
    }
    if (signal != 0) {
      ::kill(pid_, signal);
    }
    int status = 0;
    if (!waitForChild(pid_, kPatience, status)) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, &status, 0);
      result.timedOut = true;
    }
    exited_ = true;
    result.exited = WIFEXITED(status);
    result.status = result.exited ? WEXITSTATUS(status) : WTERMSIG(status);
    while (std::optional<std::string> line = readLine(std::chrono::milliseconds(0))) {
      result.out += *line + "\n";
    }
    const std::vector<std::uint8_t> err = readFile(errPath_);
    result.err.assign(err.begin(), err.end());
    return result;
  }

 private:
  std::string errPath_;
  pid_t pid_ = -1;
  int out_ = -1;
  bool exited_ = false;
  std::string buffer_;
};

// Starts marlin serve-dvr on recording with a free port, then the given
// options; port is the one it printed (0 when it printed none).
inline std::unique_ptr<MarlinProcess> serveDvr(const TempDir& dir, const std::string& recording,
                                               std::vector<std::string> args, std::uint16_t& port,
                                               const std::vector<std::string>& environment = {}) {
  args.insert(args.begin(), {"serve-dvr", recording, "--port", "0"});
  auto process = std::make_unique<MarlinProcess>(dir, args, environment);
  const std::optional<std::string> listening = process->readLine();
  EXPECT_TRUE(listening && listening->rfind("LISTENING ", 0) == 0) << listening.value_or("no output");
  port = listening ? static_cast<std::uint16_t>(std::stoi(listening->substr(10))) : 0;
  return process;
}

}  // namespace marlin::testing
