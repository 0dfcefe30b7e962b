#include "platform/message_sink.h"

#include <cstdio>
#include <string>

namespace marlin {

void ConsoleMessageSink::showMessage(std::string_view text, std::string_view caption) {
  std::string line;
  if (!caption.empty()) {
    line.append(caption).append(": ");
  }
  line.append(text).push_back('\n');
  std::fputs(line.c_str(), stderr);
}

MessageSink& consoleMessageSink() {
  static ConsoleMessageSink sink;
  return sink;
}

}  // namespace marlin
