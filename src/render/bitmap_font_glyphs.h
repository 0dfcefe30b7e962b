#pragma once

#include <cstdint>

namespace marlin {

inline constexpr int kGlyphWidth = 5;
inline constexpr int kGlyphHeight = 7;

// The kGlyphHeight rows of c's glyph, top first, bit 4 of each row being
// its leftmost pixel; nullptr for characters outside space .. tilde.
const std::uint8_t* glyphRows(char c);

}  // namespace marlin
