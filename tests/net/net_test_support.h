#pragma once

#include <algorithm>
#include <cstdint>
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

}  // namespace marlin::net::testing
