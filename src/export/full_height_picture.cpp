#include "export/full_height_picture.h"

#include <cstddef>
#include <cstring>

#include "export/avi_formats.h"

namespace marlin {

namespace {

// Each byte the mean of the two above it, rounded down, eight bytes at a time: a + b = 2 (a & b) + (a ^ b), so the
// mean is (a & b) + (a ^ b) / 2, and masking each byte's top bit after the shift keeps a neighbour's low bit out.
void averageRows(const std::uint8_t* upper, const std::uint8_t* lower, std::size_t bytes, std::uint8_t* out) {
  constexpr std::uint64_t kLowSevenBits = 0x7F7F7F7F7F7F7F7FULL;
  std::size_t i = 0;
  for (; i + 8 <= bytes; i += 8) {
    std::uint64_t a = 0;
    std::uint64_t b = 0;
    std::memcpy(&a, upper + i, 8);
    std::memcpy(&b, lower + i, 8);
    const std::uint64_t mean = (a & b) + (((a ^ b) >> 1) & kLowSevenBits);
    std::memcpy(out + i, &mean, 8);
  }
  for (; i < bytes; ++i) {
    out[i] = static_cast<std::uint8_t>((upper[i] + lower[i]) >> 1);
  }
}

}  // namespace

void fieldToFullHeight(const std::uint8_t* bottomUpField, int width, int fieldHeight, std::uint8_t* bottomUpPicture) {
  const std::size_t fieldRow = static_cast<std::size_t>(width) * 3;
  const std::size_t pictureRow = dibRowBytes(width, 24);
  const int height = 2 * fieldHeight;
  // Both buffers are bottom-up: line y counted from the top is row (rows - 1 - y).
  const auto fieldLine = [&](int y) { return bottomUpField + static_cast<std::size_t>(fieldHeight - 1 - y) * fieldRow; };
  for (int line = 0; line < height; ++line) {
    std::uint8_t* out = bottomUpPicture + static_cast<std::size_t>(height - 1 - line) * pictureRow;
    const std::uint8_t* upper = fieldLine(line / 2);
    if (line % 2 == 0 || line == height - 1) {
      std::memcpy(out, upper, fieldRow);
    } else {
      averageRows(upper, fieldLine(line / 2 + 1), fieldRow, out);
    }
    std::memset(out + fieldRow, 0, pictureRow - fieldRow);
  }
}

}  // namespace marlin
