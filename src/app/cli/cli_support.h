#pragma once

#include <CLI/CLI.hpp>
#include <functional>
#include <stdexcept>
#include <string>

#include "engine/json_text.h"
#include "platform/message_sink.h"

namespace marlin::cli {

// A failure that ends the command with a one-line message and an exit code,
// 1 unless the command documents another.
// The exit status of a command a signal stopped early, as shells report one killed by SIGINT.
inline constexpr int kInterruptedExit = 130;
// The exit status of a command whose arguments cannot go together.
inline constexpr int kUsageExit = 2;

// Runs its action when the scope ends, however it ends: an engine's worker
// that calls an observer on the stack must stop before the observer goes,
// also when a command is refused with an exception.
class OnScopeExit {
 public:
  explicit OnScopeExit(std::function<void()> action) : action_(std::move(action)) {}
  ~OnScopeExit() { action_(); }
  OnScopeExit(const OnScopeExit&) = delete;
  OnScopeExit& operator=(const OnScopeExit&) = delete;

 private:
  std::function<void()> action_;
};

class CommandError : public std::runtime_error {
 public:
  explicit CommandError(const std::string& message, int exitCode = 1)
      : std::runtime_error(message), exitCode_(exitCode) {}
  int exitCode() const { return exitCode_; }

 private:
  int exitCode_;
};

// Keeps the library's user messages so that they become part of the
// command's one error line instead of lines of their own.
class CapturedMessages final : public MessageSink {
 public:
  void showMessage(std::string_view text, std::string_view caption) override;
  // "text: " for the last message, or nothing.
  std::string prefix() const;

 private:
  std::string last_;
};

// For unsigned options: CLI11 reads "-1" as the largest value instead of
// refusing it.
CLI::Validator notNegative();

}  // namespace marlin::cli
