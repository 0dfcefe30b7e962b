#include "source/block_appender.h"

#include <algorithm>
#include <array>

#include "source/container.h"

namespace marlin {

using container::kBlockSize;
using container::kHeaderSize;

void BlockAppender::setHeader(std::uint32_t time, std::uint16_t channelMask, bool bigEndian) {
  header_ = encodeBlockHeader(time, channelMask, 0, bigEndian);
}

bool BlockAppender::put(const std::uint8_t* data, std::size_t n) {
  if (!sink_.write(data, n)) {
    return false;
  }
  written_ += n;
  return true;
}

bool BlockAppender::append(const std::uint8_t* data, std::size_t n, std::uint8_t frameInterval) {
  const std::size_t used = written_ % kBlockSize;
  if (used != 0 && n > 0) {
    const std::size_t piece = std::min(kBlockSize - used, n);
    if (!put(data, piece)) {
      return false;
    }
    data += piece;
    n -= piece;
  }
  while (n > 0) {
    setHeaderFrameInterval(header_, frameInterval);
    if (!put(header_.data(), kHeaderSize)) {
      return false;
    }
    const std::size_t piece = std::min(kBlockSize - kHeaderSize, n);
    if (!put(data, piece)) {
      return false;
    }
    data += piece;
    n -= piece;
  }
  return true;
}

bool BlockAppender::padToBlock() {
  static constexpr std::array<std::uint8_t, kBlockSize> kZeros{};
  const std::size_t used = written_ % kBlockSize;
  return used == 0 || put(kZeros.data(), kBlockSize - used);
}

}  // namespace marlin
