#include "export/full_height_picture.h"

#include <cstddef>
#include <cstring>

#include "codec/colour_convert.h"
#include "export/avi_formats.h"

namespace marlin {

void fieldToFullHeight(const std::uint8_t* yuvField, int width, int fieldHeight, std::uint8_t* bottomUpPicture) {
  const std::size_t lineBytes = static_cast<std::size_t>(width) * 3;
  const std::size_t pictureRow = dibRowBytes(width, 24);
  const int height = 2 * fieldHeight;
  ToDib24EvenLines(bottomUpPicture, yuvField, width, fieldHeight, pictureRow);
  // Line y counted from the top is row (height - 1 - y).
  const auto line = [&](int y) { return bottomUpPicture + static_cast<std::size_t>(height - 1 - y) * pictureRow; };
  for (int y = 1; y < height - 1; y += 2) {
    averageRows(line(y - 1), line(y + 1), lineBytes, line(y));
  }
  std::memcpy(line(height - 1), line(height - 2), lineBytes);
  if (pictureRow != lineBytes) {
    for (int y = 0; y < height; ++y) {
      std::memset(line(y) + lineBytes, 0, pictureRow - lineBytes);
    }
  }
}

}  // namespace marlin
