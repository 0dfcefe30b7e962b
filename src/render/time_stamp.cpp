#include "render/time_stamp.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "render/canvas.h"

namespace marlin {

namespace {

constexpr int kTextLeft = 8;
constexpr int kTextTop = 8;
constexpr std::uint32_t kWhite = rgbColour(255, 255, 255);
constexpr std::uint32_t kBlack = rgbColour(0, 0, 0);

}  // namespace

FontSpec timeStampFont() {
  FontSpec font;
  font.height = 16;
  font.weight = 700;
  font.faceName = "DejaVu Sans Mono";
  return font;
}

std::string_view timeStampText(const CalendarTime& time, TimeStampText& text) {
  const int length = std::snprintf(text.data(), text.size(), "%02d/%02d/%02d %02d:%02d:%02d", time.year, time.month,
                                   time.day, time.hour, time.minute, time.second);
  return {text.data(), static_cast<std::size_t>(length)};
}

void stampBottomUpBgr24(std::uint8_t* bottomUpBgr, int width, int height, std::size_t rowBytes, std::string_view text,
                        TextPainter& painter, Canvas& band, const FontSpec& font) {
  // Only the rows the text and its outline can reach go through a canvas;
  // the canvas's B, G, R pixels are the picture's bytes, top-down.
  const TextExtent extent = painter.measureText(text, font);
  const int bandHeight = std::min(height, kTextTop + extent.height + 1);
  if (width <= 0 || bandHeight <= 0 || !band.reset(width, bandHeight, SurfaceFormat::Rgb24)) {
    return;
  }
  const std::size_t pitch = band.pitch();
  const auto pictureRow = [&](int y) { return bottomUpBgr + static_cast<std::size_t>(height - 1 - y) * rowBytes; };
  for (int y = 0; y < bandHeight; ++y) {
    std::memcpy(band.data() + y * pitch, pictureRow(y), pitch);
  }
  for (const int dy : {-1, 1}) {
    for (const int dx : {-1, 1}) {
      painter.drawText(band, kTextLeft + dx, kTextTop + dy, text, kBlack, font);
    }
  }
  painter.drawText(band, kTextLeft, kTextTop, text, kWhite, font);
  for (int y = 0; y < bandHeight; ++y) {
    std::memcpy(pictureRow(y), band.row(y), pitch);
  }
}

}  // namespace marlin
