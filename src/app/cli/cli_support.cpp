#include "app/cli/cli_support.h"

#include "codec/colour_convert.h"
#include "codec/idct.h"
#include "source/start_code_search.h"

namespace marlin::cli {

void CapturedMessages::showMessage(std::string_view text, std::string_view caption) {
  last_ = caption.empty() ? std::string(text) : std::string(caption) + ": " + std::string(text);
}

std::string CapturedMessages::prefix() const { return last_.empty() ? std::string() : last_ + ": "; }

void selectPortableKernels() {
  startcode::selectKernels(startcode::portableKernels());
  codec::selectIdct(codec::portableIdct());
  colour::selectKernel(colour::portableKernel());
}

}  // namespace marlin::cli
