#include "export/bitmap_file.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <vector>

namespace marlin {

namespace {

void put16(std::uint8_t* at, std::uint32_t value) {
  at[0] = static_cast<std::uint8_t>(value);
  at[1] = static_cast<std::uint8_t>(value >> 8);
}

void put32(std::uint8_t* at, std::uint32_t value) {
  put16(at, value);
  put16(at + 2, value >> 16);
}

}  // namespace

bool writeBitmap24(const std::string& path, const std::uint8_t* bottomUpRows, int width, int height,
                   std::string& error) {
  const std::size_t rowBytes = static_cast<std::size_t>(width) * 3;
  const std::size_t paddedRow = (rowBytes + 3) & ~std::size_t{3};
  const std::size_t imageBytes = paddedRow * static_cast<std::size_t>(height);
  std::array<std::uint8_t, 54> header{};
  header[0] = 'B';
  header[1] = 'M';
  put32(&header[2], static_cast<std::uint32_t>(header.size() + imageBytes));
  put32(&header[10], static_cast<std::uint32_t>(header.size()));
  put32(&header[14], 40);
  put32(&header[18], static_cast<std::uint32_t>(width));
  put32(&header[22], static_cast<std::uint32_t>(height));
  put16(&header[26], 1);
  put16(&header[28], 24);
  put32(&header[34], static_cast<std::uint32_t>(imageBytes));
  put32(&header[38], 2835);  // 72 dpi
  put32(&header[42], 2835);

  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(header.data()), header.size());
  const std::vector<char> padding(paddedRow - rowBytes, 0);
  for (int row = 0; row < height; ++row) {
    out.write(reinterpret_cast<const char*>(bottomUpRows + row * rowBytes), static_cast<std::streamsize>(rowBytes));
    out.write(padding.data(), static_cast<std::streamsize>(padding.size()));
  }
  out.close();
  if (!out) {
    error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

}  // namespace marlin
