#include "net/login_reply.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "net/ansi_text.h"
#include "net/control_message.h"
#include "net/md5.h"
#include "net/stream_parser.h"

namespace marlin::net {

namespace {

// Where a refusal's reason ends, whatever its length field says.
constexpr std::size_t kRefusalBytes = kControlHeaderBytes + 4;
const std::string kMalformedText = "LOGIN ERROR";

}  // namespace

const char* loginRefusalText(std::uint16_t reason) {
  switch (reason) {
    case 1:
      return "Too many client.";
    case 2:
      return "Incorrect password.";
    case 3:
      return "Bad network";
    default:
      return "Unkown error.";
  }
}

Status buildLoginFor(const std::string& password, std::vector<std::uint8_t>& message) {
  const std::optional<std::string> ansi = toWindows1252(password);
  if (!ansi) {
    return Status::failure(StatusCode::InvalidArgument,
                           "The password has characters the DVR's code page (Windows-1252) cannot hold");
  }
  if (ansi->find('\0') != std::string::npos) {
    return Status::failure(StatusCode::InvalidArgument, "The password contains a NUL character");
  }
  if (ansi->size() > kMaxPasswordBytes) {
    return Status::failure(StatusCode::InvalidArgument, "The password is " + std::to_string(ansi->size()) +
                                                            " bytes long in the DVR's code page "
                                                            "(Windows-1252); a DVR takes at most " +
                                                            std::to_string(kMaxPasswordBytes));
  }
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(ansi->data());
  message = buildLoginMessage(Md5::upperHex(Md5::of(bytes, ansi->size())));
  return Status::ok();
}

LoginReplyReader::Result LoginReplyReader::feed(const std::uint8_t* data, std::size_t n) {
  if (result_ != Result::NeedMore || n == 0) {
    return result_;
  }
  pending_.insert(pending_.end(), data, data + n);
  std::size_t at = 0;
  const auto malformed = [this] {
    result_ = Result::Malformed;
    failure_ = kMalformedText;
  };
  while (result_ == Result::NeedMore) {
    const std::uint8_t* message = pending_.data() + at;
    const std::size_t have = pending_.size() - at;
    if (std::memcmp(message, kControlStartCode, std::min(have, sizeof kControlStartCode)) != 0) {
      malformed();
      break;
    }
    if (have < 8) {
      break;
    }
    // A length the stream parser would not deliver is no reply either; it
    // also bounds what waits here for the rest of a message.
    const std::optional<std::uint16_t> length = readHexField(message + 4);
    if (!length || *length < kControlHeaderBytes || *length > kControlMessageCapacity) {
      malformed();
      break;
    }
    if (have < kControlHeaderBytes) {
      break;
    }
    const std::optional<std::uint16_t> code = readHexField(message + 8);
    if (!code) {
      malformed();
      break;
    }
    if (*code == kLoginRefused || *code == kLoginRefusedToo) {
      if (have < kRefusalBytes) {
        break;
      }
      result_ = Result::Refused;
      failure_ = loginRefusalText(readHexFieldOrZero(message + kControlHeaderBytes));
      break;
    }
    if (have < *length) {
      break;
    }
    if (*code == kLoginWait) {
      at += *length;
    } else if (*code == kLoginAccepted) {
      result_ = Result::Accepted;
      after_.assign(message + *length, message + have);
    } else {
      malformed();
    }
  }
  if (result_ == Result::NeedMore) {
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(at));
  } else {
    std::vector<std::uint8_t>().swap(pending_);
  }
  return result_;
}

LoginReplyReader::Result LoginReplyReader::endOfStream() {
  if (result_ != Result::NeedMore) {
    return result_;
  }
  // A refusal cut off before its reason is still a refusal.
  if (pending_.size() >= kControlHeaderBytes) {
    const std::optional<std::uint16_t> code = readHexField(pending_.data() + 8);
    if (code && (*code == kLoginRefused || *code == kLoginRefusedToo)) {
      result_ = Result::Refused;
      failure_ = loginRefusalText(0);
      std::vector<std::uint8_t>().swap(pending_);
      return result_;
    }
  }
  result_ = Result::Malformed;
  failure_ = kMalformedText;
  std::vector<std::uint8_t>().swap(pending_);
  return result_;
}

}  // namespace marlin::net
