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

Status BlockAppender::put(const std::uint8_t* data, std::size_t n) {
  Status written = sink_.write(data, n);
  if (written) {
    written_ += n;
  }
  return written;
}

Status BlockAppender::append(const std::uint8_t* data, std::size_t n, std::uint8_t frameInterval) {
  const std::size_t used = written_ % kBlockSize;
  if (used != 0 && n > 0) {
    const std::size_t piece = std::min(kBlockSize - used, n);
    if (Status written = put(data, piece); !written) {
      return written;
    }
    data += piece;
    n -= piece;
  }
  while (n > 0) {
    setHeaderFrameInterval(header_, frameInterval);
    if (Status written = put(header_.data(), kHeaderSize); !written) {
      return written;
    }
    const std::size_t piece = std::min(kBlockSize - kHeaderSize, n);
    if (Status written = put(data, piece); !written) {
      return written;
    }
    data += piece;
    n -= piece;
  }
  return Status::ok();
}

Status BlockAppender::padToBlock() {
  static constexpr std::array<std::uint8_t, kBlockSize> kZeros{};
  const std::size_t used = written_ % kBlockSize;
  return used == 0 ? Status::ok() : put(kZeros.data(), kBlockSize - used);
}

}  // namespace marlin
