#include "export/full_height_picture.h"

#include <cstddef>
#include <cstring>

#include "codec/colour_convert.h"
#include "export/avi_formats.h"

namespace marlin {

void fieldToFullHeight(const std::uint8_t* yuvField, int width, int fieldHeight, std::uint8_t* bottomUpPicture) {
  const std::size_t lineBytes = static_cast<std::size_t>(width) * 3;
  const std::size_t pictureRow = dibRowBytes(width, 24);
  ToDib24FullHeight(bottomUpPicture, yuvField, width, fieldHeight, pictureRow);
  if (pictureRow != lineBytes) {
    for (int row = 0; row < 2 * fieldHeight; ++row) {
      std::memset(bottomUpPicture + static_cast<std::size_t>(row) * pictureRow + lineBytes, 0, pictureRow - lineBytes);
    }
  }
}

}  // namespace marlin
