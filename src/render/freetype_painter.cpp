#include "render/freetype_painter.h"

#include <freetype/freetype.h>
#include <freetype/tttables.h>
#include <ft2build.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <optional>
#include <utility>
#include <vector>

#include "base/log.h"
#include "render/geometry.h"

namespace marlin {

namespace {

constexpr std::array<const char*, 2> kFamilies{"DejaVuSans", "DejaVuSansMono"};
// By bold x 2 + italic.
constexpr std::array<const char*, 4> kStyles{"", "-Oblique", "-Bold", "-BoldOblique"};
constexpr int kDefaultHeight = 16;
constexpr int kMaxHeight = 4096;
// Past this a requested width only makes unreadable slivers or smears.
constexpr double kMaxStretch = 16.0;

bool namesFixedPitchFace(const std::string& faceName) {
  std::string lower(faceName);
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  for (const char* hint : {"mono", "courier", "consol", "fixed", "terminal"}) {
    if (lower.find(hint) != std::string::npos) {
      return true;
    }
  }
  return false;
}

int ceilPixels(FT_Pos value) { return static_cast<int>((value + 63) >> 6); }

// A character rendered at the selected size, placed from the pen on the
// baseline.
struct Glyph {
  std::vector<std::uint8_t> coverage;  // rows of width bytes
  int width = 0;
  int rows = 0;
  int left = 0;  // from the pen to the first column
  int top = 0;   // from the baseline up to the first row
  int advance = 0;
};

struct PlacedGlyph {
  const Glyph* glyph;
  Point topLeft;  // from the point the text is drawn at
};

struct Layout {
  std::vector<PlacedGlyph> glyphs;
  TextExtent extent;
};

}  // namespace

struct FreeTypePainter::Fonts {
  FT_Library library = nullptr;
  std::array<FT_Face, kFamilies.size() * kStyles.size()> faces{};

  // Glyphs are kept for the last font selected: labels are drawn nine
  // times a picture in one font.
  std::optional<FontSpec> selected;
  FT_Face face = nullptr;
  int ascent = 0;
  int descent = 0;
  std::array<std::optional<Glyph>, 256> glyphs;

  ~Fonts() {
    for (FT_Face loaded : faces) {
      if (loaded != nullptr) {
        FT_Done_Face(loaded);
      }
    }
    if (library != nullptr) {
      FT_Done_FreeType(library);
    }
  }

  // The face of the font's family and style, or the nearest one loaded.
  FT_Face faceFor(const FontSpec& font) const {
    const std::size_t family = namesFixedPitchFace(font.faceName) ? 1 : 0;
    const std::size_t style = (font.weight >= 600 ? 2 : 0) + (font.italic ? 1 : 0);
    const std::size_t other = 1 - family;
    for (const std::size_t index : {family * kStyles.size() + style, family * kStyles.size(),
                                    other * kStyles.size() + style, other * kStyles.size()}) {
      if (faces[index] != nullptr) {
        return faces[index];
      }
    }
    return nullptr;
  }

  bool select(const FontSpec& font) {
    if (selected == font) {
      return true;
    }
    selected.reset();
    face = faceFor(font);
    const int height = std::clamp(font.height == 0 ? kDefaultHeight : font.height, -kMaxHeight, kMaxHeight);
    FT_Size_RequestRec request{};
    // A positive height is the whole cell, as the window system's fonts count it.
    request.type = height > 0 ? FT_SIZE_REQUEST_TYPE_REAL_DIM : FT_SIZE_REQUEST_TYPE_NOMINAL;
    request.height = static_cast<FT_Long>(std::abs(height)) << 6;
    if (const FT_Error error = FT_Request_Size(face, &request); error != 0) {
      logWarning("FreeType refused the label font size " + std::to_string(height) + " (error " + std::to_string(error) +
                 ")");
      return false;
    }
    FT_Matrix stretch{0x10000, 0, 0, 0x10000};
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    if (font.width > 0 && os2 != nullptr && os2->xAvgCharWidth > 0) {
      const double natural = static_cast<double>(FT_MulFix(os2->xAvgCharWidth, face->size->metrics.x_scale)) / 64.0;
      stretch.xx = static_cast<FT_Fixed>(std::min(font.width / natural, kMaxStretch) * 0x10000);
    }
    FT_Set_Transform(face, &stretch, nullptr);
    ascent = ceilPixels(face->size->metrics.ascender);
    descent = ceilPixels(-face->size->metrics.descender);
    glyphs.fill(std::nullopt);
    selected = font;
    return true;
  }

  const Glyph& glyph(unsigned char character) {
    std::optional<Glyph>& kept = glyphs[character];
    if (kept) {
      return *kept;
    }
    kept.emplace();
    if (const FT_Error error = FT_Load_Char(face, character, FT_LOAD_RENDER | FT_LOAD_TARGET_LIGHT); error != 0) {
      logDebug("FreeType could not render character " + std::to_string(character) + " (error " + std::to_string(error) +
               ")");
      return *kept;
    }
    const FT_GlyphSlot slot = face->glyph;
    kept->advance = static_cast<int>((slot->advance.x + 32) >> 6);
    const FT_Bitmap& bitmap = slot->bitmap;
    if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY || bitmap.pitch < 0) {
      return *kept;
    }
    kept->width = static_cast<int>(bitmap.width);
    kept->rows = static_cast<int>(bitmap.rows);
    kept->left = slot->bitmap_left;
    kept->top = slot->bitmap_top;
    kept->coverage.resize(static_cast<std::size_t>(kept->width) * kept->rows);
    for (int row = 0; row < kept->rows; ++row) {
      std::memcpy(kept->coverage.data() + static_cast<std::size_t>(row) * kept->width,
                  bitmap.buffer + static_cast<std::size_t>(row) * bitmap.pitch, kept->width);
    }
    return *kept;
  }

  // Places the glyphs so that none reaches left of or above the point the
  // text is drawn at: an overhanging first glyph or a tall accent stays in
  // the measured box.
  Layout layOut(std::string_view text) {
    Layout layout;
    int pen = 0;
    int inkLeft = 0;
    int right = 0;
    int above = ascent;
    int below = descent;
    for (const char character : text) {
      const Glyph& g = glyph(static_cast<unsigned char>(character));
      layout.glyphs.push_back({&g, {pen + g.left, -g.top}});
      if (g.width > 0 && g.rows > 0) {
        inkLeft = std::min(inkLeft, pen + g.left);
        right = std::max(right, pen + g.left + g.width);
        above = std::max(above, g.top);
        below = std::max(below, g.rows - g.top);
      }
      pen += g.advance;
    }
    right = std::max(right, pen);
    for (PlacedGlyph& placed : layout.glyphs) {
      placed.topLeft.x -= inkLeft;
      placed.topLeft.y += above;
    }
    layout.extent = {right - inkLeft, above + below};
    return layout;
  }
};

FreeTypePainter::FreeTypePainter(std::unique_ptr<Fonts> fonts) : fonts_(std::move(fonts)) {}

FreeTypePainter::~FreeTypePainter() = default;

Status FreeTypePainter::open(const std::string& fontFolder, std::unique_ptr<FreeTypePainter>& painter) {
  auto fonts = std::make_unique<Fonts>();
  if (const FT_Error error = FT_Init_FreeType(&fonts->library); error != 0) {
    fonts->library = nullptr;
    return Status::failure(StatusCode::Unsupported, "FreeType could not start (error " + std::to_string(error) + ")");
  }
  for (std::size_t family = 0; family < kFamilies.size(); ++family) {
    for (std::size_t style = 0; style < kStyles.size(); ++style) {
      const std::string path = fontFolder + "/" + kFamilies[family] + kStyles[style] + ".ttf";
      FT_Face& face = fonts->faces[family * kStyles.size() + style];
      if (FT_New_Face(fonts->library, path.c_str(), 0, &face) != 0) {
        face = nullptr;
      }
    }
  }
  if (fonts->faces[0] == nullptr && fonts->faces[kStyles.size()] == nullptr) {
    return Status::failure(StatusCode::NotFound,
                           "neither DejaVuSans.ttf nor DejaVuSansMono.ttf could be loaded from " + fontFolder);
  }
  painter.reset(new FreeTypePainter(std::move(fonts)));
  return Status::ok();
}

void FreeTypePainter::drawText(Canvas& canvas, int x, int y, std::string_view text, std::uint32_t colour,
                               const FontSpec& font) {
  const std::lock_guard lock(mutex_);
  if (!fonts_->select(font)) {
    return;
  }
  for (const PlacedGlyph& placed : fonts_->layOut(text).glyphs) {
    const Glyph& g = *placed.glyph;
    canvas.blendCoverage(x + placed.topLeft.x, y + placed.topLeft.y, g.coverage.data(), g.width, g.rows, colour);
  }
}

TextExtent FreeTypePainter::measureText(std::string_view text, const FontSpec& font) {
  const std::lock_guard lock(mutex_);
  if (!fonts_->select(font)) {
    return {};
  }
  return fonts_->layOut(text).extent;
}

}  // namespace marlin
