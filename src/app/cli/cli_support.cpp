#include "app/cli/cli_support.h"

#include <cstdio>

namespace marlin::cli {

void CapturedMessages::showMessage(std::string_view text, std::string_view caption) {
  last_ = caption.empty() ? std::string(text) : std::string(caption) + ": " + std::string(text);
}

std::string CapturedMessages::prefix() const { return last_.empty() ? std::string() : last_ + ": "; }

CLI::Validator notNegative() {
  return CLI::Validator([](const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t");
    return first != std::string::npos && text[first] == '-' ? "must not be negative: " + text : std::string();
  }, "");
}

std::string jsonString(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') {
      out.push_back('\\');
      out.push_back(c);
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    } else {
      out.push_back(c);
    }
  }
  return out + "\"";
}

}  // namespace marlin::cli
