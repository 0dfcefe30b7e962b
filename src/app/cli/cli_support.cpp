#include "app/cli/cli_support.h"

namespace marlin::cli {

void CapturedMessages::showMessage(std::string_view text, std::string_view caption) {
  last_ = caption.empty() ? std::string(text) : std::string(caption) + ": " + std::string(text);
}

std::string CapturedMessages::prefix() const { return last_.empty() ? std::string() : last_ + ": "; }

}  // namespace marlin::cli
