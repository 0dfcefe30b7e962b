#include "render/bitmap_file.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "platform/file_io.h"

namespace marlin {

namespace {

constexpr std::size_t kFileHeaderBytes = 14;
constexpr std::uint32_t kCompressionRgb = 0;
constexpr std::uint32_t kCompressionRle8 = 1;
constexpr std::uint32_t kCompressionRle4 = 2;
constexpr std::uint32_t kCompressionBitFields = 3;

void put16(std::uint8_t* at, std::uint32_t value) {
  at[0] = static_cast<std::uint8_t>(value);
  at[1] = static_cast<std::uint8_t>(value >> 8);
}

void put32(std::uint8_t* at, std::uint32_t value) {
  put16(at, value);
  put16(at + 2, value >> 16);
}

std::uint32_t get16(const std::uint8_t* at) { return static_cast<std::uint32_t>(at[0] | at[1] << 8); }

std::uint32_t get32(const std::uint8_t* at) { return get16(at) | get16(at + 2) << 16; }

}  // namespace

std::size_t dib24RowStride(int width) { return (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3}; }

std::vector<std::uint8_t> makeDib24(int width, int height) {
  const std::size_t imageBytes = dib24RowStride(width) * static_cast<std::size_t>(height);
  std::vector<std::uint8_t> dib(kDibInfoHeaderBytes + imageBytes, 0);
  put32(&dib[0], kDibInfoHeaderBytes);
  put32(&dib[4], static_cast<std::uint32_t>(width));
  put32(&dib[8], static_cast<std::uint32_t>(height));
  put16(&dib[12], 1);
  put16(&dib[14], 24);
  put32(&dib[16], kCompressionRgb);
  put32(&dib[20], static_cast<std::uint32_t>(imageBytes));
  return dib;
}

std::uint32_t dibBitsOffset(const std::uint8_t* infoHeader) {
  const std::uint32_t bitCount = get16(infoHeader + 14);
  const std::uint32_t compression = get32(infoHeader + 16);
  const std::uint32_t coloursUsed = get32(infoHeader + 32);
  const std::uint64_t tableColours = coloursUsed != 0 ? coloursUsed : std::uint64_t{1} << std::min(bitCount, 32u);
  const std::uint64_t withTable = kDibInfoHeaderBytes + 4 * tableColours;
  switch (compression) {
    case kCompressionRgb:
      return static_cast<std::uint32_t>(bitCount <= 8 || coloursUsed != 0 ? withTable : kDibInfoHeaderBytes);
    case kCompressionRle8:
    case kCompressionRle4:
      return static_cast<std::uint32_t>(withTable);
    case kCompressionBitFields:
      return static_cast<std::uint32_t>(kDibInfoHeaderBytes + 12 + 4 * std::uint64_t{coloursUsed});
    default:
      return kDibInfoHeaderBytes;
  }
}

Status writeDibFile(const std::string& path, std::span<const std::uint8_t> dib) {
  if (dib.size() < kDibInfoHeaderBytes) {
    return Status::failure(StatusCode::InvalidArgument, "cannot write " + path + ": the bitmap has no info header");
  }
  std::array<std::uint8_t, kFileHeaderBytes> header{};
  header[0] = 'B';
  header[1] = 'M';
  put32(&header[2], static_cast<std::uint32_t>(dib.size() + kFileHeaderBytes));
  put32(&header[10], static_cast<std::uint32_t>(kFileHeaderBytes + dibBitsOffset(dib.data())));
  return writeWholeFile(path, {header, dib});
}

Status writeBitmap24(const std::string& path, const std::uint8_t* bottomUpRows, int width, int height) {
  std::vector<std::uint8_t> dib = makeDib24(width, height);
  const std::size_t rowBytes = static_cast<std::size_t>(width) * 3;
  const std::size_t stride = dib24RowStride(width);
  for (int row = 0; row < height; ++row) {
    std::memcpy(dib.data() + kDibInfoHeaderBytes + row * stride, bottomUpRows + row * rowBytes, rowBytes);
  }
  return writeDibFile(path, dib);
}

}  // namespace marlin
