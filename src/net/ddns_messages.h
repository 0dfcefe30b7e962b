#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/status.h"

namespace marlin::net {

// The dynamic-address service's query: the magic 55 AA 55 AA, then the DVR
// name in eight zero-padded bytes.
inline constexpr std::uint8_t kDdnsMagic[4] = {0x55, 0xAA, 0x55, 0xAA};
inline constexpr std::size_t kDdnsQueryBytes = 12;
inline constexpr std::size_t kDdnsReplyBytes = 10;
inline constexpr std::size_t kMaxDvrNameBytes = 8;

// The query for a DVR name given in UTF-8; fails with a clear reason for a
// name that is empty, longer than eight bytes in the Windows-1252 code page
// or not representable in it.
Status buildDdnsQuery(const std::string& dvrName, std::array<std::uint8_t, kDdnsQueryBytes>& out);

struct DdnsAnswer {
  std::uint32_t address = 0;  // host order
  std::uint16_t port = 0;
};

// Reads the service's reply as it arrives, in pieces of any size.
class DdnsReplyReader {
 public:
  enum class Result { NeedMore, Answered, BadMagic };
  // Takes the next received bytes. Once Answered or BadMagic, the result stays.
  Result feed(const std::uint8_t* data, std::size_t n);
  const DdnsAnswer& answer() const { return answer_; }

 private:
  std::array<std::uint8_t, kDdnsReplyBytes> bytes_{};
  std::size_t have_ = 0;
  Result result_ = Result::NeedMore;
  DdnsAnswer answer_;
};

// The query as the service receives it: the DVR name (bytes before the first
// zero), nullopt without the magic. For the simulator and tests.
std::optional<std::string> readDdnsQuery(const std::uint8_t* data, std::size_t n);
// The reply for an address (host order) and port.
std::array<std::uint8_t, kDdnsReplyBytes> buildDdnsReply(const DdnsAnswer& answer);

}  // namespace marlin::net
