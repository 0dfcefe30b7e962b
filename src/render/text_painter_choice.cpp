#include "render/text_painter_choice.h"

#include <algorithm>

#include "base/log.h"
#include "render/bitmap_font_painter.h"
#ifdef MARLIN_WITH_FREETYPE
#include "render/freetype_painter.h"
#endif

namespace marlin {

namespace {

constexpr const char* kDistributionFontFolder = "/usr/share/fonts/truetype/dejavu";

}  // namespace

std::vector<std::string> defaultFontFolders() {
  std::vector<std::string> folders;
#ifdef MARLIN_FONT_DIR
  folders.emplace_back(MARLIN_FONT_DIR);
#endif
  if (std::find(folders.begin(), folders.end(), kDistributionFontFolder) == folders.end()) {
    folders.emplace_back(kDistributionFontFolder);
  }
  return folders;
}

std::unique_ptr<TextPainter> makeTextPainter(const std::vector<std::string>& fontFolders) {
#ifdef MARLIN_WITH_FREETYPE
  for (const std::string& folder : fontFolders) {
    std::unique_ptr<FreeTypePainter> painter;
    const Status opened = FreeTypePainter::open(folder, painter);
    if (opened) {
      logDebug("labels are drawn with the DejaVu faces in " + folder);
      return painter;
    }
    logDebug(opened.message());
  }
  logWarning("no DejaVu font could be loaded; labels are drawn with the built-in bitmap font");
#else
  (void)fontFolders;
  logWarning("this build has no FreeType; labels are drawn with the built-in bitmap font");
#endif
  return std::make_unique<BitmapFontPainter>();
}

}  // namespace marlin
