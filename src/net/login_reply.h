#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/status.h"

namespace marlin::net {

inline constexpr std::size_t kMaxPasswordBytes = 31;

// The 44-byte login message for a password given in UTF-8: the MD5 of its
// Windows-1252 bytes. Fails with a clear reason for a password longer than
// 31 bytes in that code page or with characters it cannot hold.
Status buildLoginFor(const std::string& password, std::vector<std::uint8_t>& message);

// Reads the DVR's replies to a login as a stream: whole control messages
// are taken as they complete, however the bytes were split, and bytes that
// follow the acceptance are kept for the stream parser.
class LoginReplyReader {
 public:
  enum class Result { NeedMore, Accepted, Refused, Malformed };

  // Takes the next received bytes. Code 1 (wait) is consumed and reading
  // goes on. A refusal's reason is the field at byte 12 even where the
  // length field says 12, as DVRs send it. After Accepted, Refused or Malformed the result stays and
  // further bytes are ignored.
  Result feed(const std::uint8_t* data, std::size_t n);
  // The DVR closed the connection: a reply still incomplete becomes
  // Malformed.
  Result endOfStream();
  Result result() const { return result_; }
  // The failure text for Refused ("Too many client.", "Incorrect password.",
  // "Bad network", "Unkown error.") and Malformed ("LOGIN ERROR").
  const std::string& failureText() const { return failure_; }
  // Bytes received after the acceptance message: the start of the stream.
  const std::vector<std::uint8_t>& streamBytes() const { return after_; }

 private:
  std::vector<std::uint8_t> pending_;
  std::vector<std::uint8_t> after_;
  Result result_ = Result::NeedMore;
  std::string failure_;
};

// The refusal text for a reason code.
const char* loginRefusalText(std::uint16_t reason);

}  // namespace marlin::net
