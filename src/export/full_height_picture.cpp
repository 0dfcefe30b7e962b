#include "export/full_height_picture.h"

#include <cstddef>
#include <cstring>

#include "export/avi_formats.h"

namespace marlin {

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
      const std::uint8_t* lower = fieldLine(line / 2 + 1);
      for (std::size_t i = 0; i < fieldRow; ++i) {
        out[i] = static_cast<std::uint8_t>((upper[i] + lower[i]) >> 1);
      }
    }
    std::memset(out + fieldRow, 0, pictureRow - fieldRow);
  }
}

}  // namespace marlin
