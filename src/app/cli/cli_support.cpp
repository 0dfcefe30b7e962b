#include "app/cli/cli_support.h"

#include <cstdio>

namespace marlin::cli {

void CapturedMessages::showMessage(std::string_view text, std::string_view caption) {
  last_ = caption.empty() ? std::string(text) : std::string(caption) + ": " + std::string(text);
}

std::string CapturedMessages::prefix() const { return last_.empty() ? std::string() : last_ + ": "; }

CLI::Validator notNegative() {
  return CLI::Validator(
      [](const std::string& text) {
        const std::size_t first = text.find_first_not_of(" \t");
        return first != std::string::npos && text[first] == '-' ? "must not be negative: " + text : std::string();
      },
      "");
}

}  // namespace marlin::cli
