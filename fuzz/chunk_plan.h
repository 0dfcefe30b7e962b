#pragma once

// How the network fuzz targets split their input into the pieces a socket
// might have delivered: the first byte gives the number of piece sizes
// (low four bits, 1 to 16) and how often the stream is fed (bits 4-5, 1 to
// 4 times, so that pieces can outgrow the parser's buffers within the input
// size limit); then come the sizes, one byte each, used in turn: 0x00-0xEF
// are 1 to 240 bytes, 0xF0-0xFF are 4096 to 65536. The rest is the stream.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace marlin::fuzzinput {

struct ChunkPlan {
  std::vector<std::size_t> sizes;
  unsigned repeats = 1;
  std::vector<std::uint8_t> stream;  // the stream bytes, repeats included
};

inline std::size_t chunkSizeOf(std::uint8_t code) {
  return code < 0xF0 ? std::size_t{code} + 1 : std::size_t{code - 0xEFu} * 4096;
}

inline bool parseChunkPlan(const std::uint8_t* data, std::size_t size, ChunkPlan& plan) {
  if (size < 1) {
    return false;
  }
  const std::size_t count = (data[0] & 0x0F) + 1u;
  plan.repeats = ((data[0] >> 4) & 0x03) + 1u;
  if (size < 1 + count) {
    return false;
  }
  plan.sizes.clear();
  for (std::size_t i = 0; i < count; ++i) {
    plan.sizes.push_back(chunkSizeOf(data[1 + i]));
  }
  plan.stream.clear();
  for (unsigned r = 0; r < plan.repeats; ++r) {
    plan.stream.insert(plan.stream.end(), data + 1 + count, data + size);
  }
  return true;
}

// Calls feed(offset, length) for consecutive pieces covering n bytes.
template <typename Feed>
void forEachChunk(const ChunkPlan& plan, std::size_t n, Feed&& feed) {
  std::size_t at = 0;
  for (std::size_t i = 0; at < n; ++i) {
    const std::size_t piece = plan.sizes[i % plan.sizes.size()];
    const std::size_t take = piece < n - at ? piece : n - at;
    if (!feed(at, take)) {
      return;
    }
    at += take;
  }
}

// The seed makers' side.
inline std::vector<std::uint8_t> encodeChunkPlan(const std::vector<std::uint8_t>& sizeCodes, unsigned repeats,
                                                 const std::vector<std::uint8_t>& stream) {
  std::vector<std::uint8_t> out{static_cast<std::uint8_t>(((repeats - 1) & 3) << 4 | ((sizeCodes.size() - 1) & 0x0F))};
  out.insert(out.end(), sizeCodes.begin(), sizeCodes.end());
  out.insert(out.end(), stream.begin(), stream.end());
  return out;
}

}  // namespace marlin::fuzzinput
