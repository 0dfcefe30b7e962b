#pragma once

#include <string_view>

namespace marlin {

// Where the program's user-facing messages go: the desktop app shows a
// modal box, headless tools print a line on standard error.
class MessageSink {
 public:
  virtual ~MessageSink() = default;
  virtual void showMessage(std::string_view text, std::string_view caption) = 0;
};

// Prints "caption: text" (or just the text) on standard error.
class ConsoleMessageSink final : public MessageSink {
 public:
  void showMessage(std::string_view text, std::string_view caption) override;
};

// The sink used when an object is not given one explicitly.
MessageSink& consoleMessageSink();

}  // namespace marlin
