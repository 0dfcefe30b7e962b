#pragma once

#include <memory>
#include <string>
#include <vector>

#include "render/text_painter.h"

namespace marlin {

// Where the label faces are looked for: the folder the build was configured
// with, then the distribution's DejaVu folder.
std::vector<std::string> defaultFontFolders();

// The FreeType painter over the first folder that holds the faces; the
// built-in bitmap font, with a warning in the log, when none does or the
// build has no FreeType, so that labels are never missing.
std::unique_ptr<TextPainter> makeTextPainter(const std::vector<std::string>& fontFolders = defaultFontFolders());

}  // namespace marlin
