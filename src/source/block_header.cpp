#include "source/block_header.h"

#include "source/checksum8.h"

namespace marlin {

BlockHeader parseBlockHeader(const std::uint8_t* bytes, bool bigEndian) {
  BlockHeader header;
  if (bigEndian) {
    header.time = static_cast<std::uint32_t>(bytes[0]) << 24 | static_cast<std::uint32_t>(bytes[1]) << 16 |
                  static_cast<std::uint32_t>(bytes[2]) << 8 | bytes[3];
    header.channelMask = static_cast<std::uint16_t>(bytes[4] << 8 | bytes[5]);
  } else {
    header.time = static_cast<std::uint32_t>(bytes[3]) << 24 | static_cast<std::uint32_t>(bytes[2]) << 16 |
                  static_cast<std::uint32_t>(bytes[1]) << 8 | bytes[0];
    header.channelMask = static_cast<std::uint16_t>(bytes[5] << 8 | bytes[4]);
  }
  header.frameInterval = bytes[6] & 0x7F;
  header.checkValid = checksum8(bytes, 7) == bytes[7];
  return header;
}

BlockHeaderBytes encodeBlockHeader(std::uint32_t time, std::uint16_t channelMask, std::uint8_t frameInterval,
                                   bool bigEndian) {
  BlockHeaderBytes header{};
  if (bigEndian) {
    header = {static_cast<std::uint8_t>(time >> 24),
              static_cast<std::uint8_t>(time >> 16),
              static_cast<std::uint8_t>(time >> 8),
              static_cast<std::uint8_t>(time),
              static_cast<std::uint8_t>(channelMask >> 8),
              static_cast<std::uint8_t>(channelMask),
              0,
              0};
  } else {
    header = {static_cast<std::uint8_t>(time),
              static_cast<std::uint8_t>(time >> 8),
              static_cast<std::uint8_t>(time >> 16),
              static_cast<std::uint8_t>(time >> 24),
              static_cast<std::uint8_t>(channelMask),
              static_cast<std::uint8_t>(channelMask >> 8),
              0,
              0};
  }
  setHeaderFrameInterval(header, frameInterval);
  return header;
}

void setHeaderFrameInterval(BlockHeaderBytes& header, std::uint8_t frameInterval) {
  header[6] = frameInterval & 0x7F;
  header[7] = checksum8(header.data(), 7);
}

}  // namespace marlin
