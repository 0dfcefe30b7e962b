#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "base/status.h"
#include "render/text_painter.h"

namespace marlin {

// Draws text with the DejaVu faces through FreeType, anti-aliased, so labels
// and time stamps read like a desktop font on any picture. A face name
// naming a fixed-pitch font picks DejaVu Sans Mono, any other DejaVu Sans;
// weight 600 and up picks the bold face and italic the oblique one, when
// the folder holds them. A positive height is the cell height (ascent plus
// descent), a negative one the em size; a width scales the average
// character to it. Text bytes are Latin-1 characters. One painter may be
// shared between threads.
class FreeTypePainter final : public TextPainter {
 public:
  // Loads the faces from fontFolder; fails when it holds neither regular
  // face or FreeType cannot start.
  static Status open(const std::string& fontFolder, std::unique_ptr<FreeTypePainter>& painter);
  ~FreeTypePainter() override;

  void drawText(Canvas& canvas, int x, int y, std::string_view text, std::uint32_t colour,
                const FontSpec& font) override;
  TextExtent measureText(std::string_view text, const FontSpec& font) override;

 private:
  struct Fonts;
  explicit FreeTypePainter(std::unique_ptr<Fonts> fonts);

  std::mutex mutex_;
  std::unique_ptr<Fonts> fonts_;
};

}  // namespace marlin
