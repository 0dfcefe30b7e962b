#pragma once

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace marlin::net::testing {

// A control message as it travels: 00 00 01 FE, then the given characters.
inline std::vector<std::uint8_t> controlBytes(const std::string& fields) {
  std::vector<std::uint8_t> out(4 + fields.size());
  out[2] = 0x01;
  out[3] = 0xFE;
  std::copy(fields.begin(), fields.end(), out.begin() + 4);
  return out;
}

// The start code 00 00 01 code followed by the payload.
inline std::vector<std::uint8_t> startCoded(std::uint8_t code, const std::vector<std::uint8_t>& payload = {}) {
  std::vector<std::uint8_t> bytes = {0x00, 0x00, 0x01, code};
  bytes.insert(bytes.end(), payload.begin(), payload.end());
  return bytes;
}

inline std::vector<std::uint8_t> joined(std::initializer_list<std::vector<std::uint8_t>> parts) {
  std::vector<std::uint8_t> bytes;
  for (const std::vector<std::uint8_t>& part : parts) {
    bytes.insert(bytes.end(), part.begin(), part.end());
  }
  return bytes;
}

inline std::vector<std::uint8_t> text(const std::string& characters) { return {characters.begin(), characters.end()}; }

}  // namespace marlin::net::testing
