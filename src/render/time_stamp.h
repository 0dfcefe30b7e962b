#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "base/calendar.h"
#include "render/canvas.h"
#include "render/text_painter.h"

namespace marlin {

// The face exported pictures are stamped in: a bold fixed-pitch face, so
// the digits of successive frames stay in place.
FontSpec timeStampFont();

// Room for the stamp of any time the fields can hold.
using TimeStampText = std::array<char, 48>;

// The stamp of a block time, "YY/MM/DD hh:mm:ss" as the recorder shows it,
// written into text.
std::string_view timeStampText(const CalendarTime& time, TimeStampText& text);

// Stamps text into the top-left corner of a bottom-up B, G, R picture whose
// rows start rowBytes apart (width x 3, or a bitmap's rows padded to 4
// bytes; the padding is left alone): black at the four diagonal neighbours of
// (8, 8), then white at (8, 8), counted from the picture's top-left corner,
// so the text reads on light and dark pictures alike. band is the caller's
// scratch for the rows the text covers: kept from picture to picture, it
// costs no allocation after the first.
void stampBottomUpBgr24(std::uint8_t* bottomUpBgr, int width, int height, std::size_t rowBytes, std::string_view text,
                        TextPainter& painter, Canvas& band, const FontSpec& font = timeStampFont());

}  // namespace marlin
