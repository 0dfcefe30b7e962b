#include "net/ddns_messages.h"

#include <algorithm>
#include <cstring>

#include "net/ansi_text.h"

namespace marlin::net {

Status buildDdnsQuery(const std::string& dvrName, std::array<std::uint8_t, kDdnsQueryBytes>& out) {
  const std::optional<std::string> ansi = toWindows1252(dvrName);
  if (!ansi) {
    return Status::failure(StatusCode::InvalidArgument,
                           "The DVR name has characters the DVR's code page (Windows-1252) cannot hold");
  }
  if (ansi->empty()) {
    return Status::failure(StatusCode::InvalidArgument, "The DVR name is empty");
  }
  if (ansi->find('\0') != std::string::npos) {
    return Status::failure(StatusCode::InvalidArgument, "The DVR name contains a NUL character");
  }
  if (ansi->size() > kMaxDvrNameBytes) {
    return Status::failure(StatusCode::InvalidArgument,
                           "The DVR name is " + std::to_string(ansi->size()) +
                               " bytes long in the DVR's code page "
                               "(Windows-1252); the dynamic-address service takes at most " +
                               std::to_string(kMaxDvrNameBytes));
  }
  out.fill(0);
  std::memcpy(out.data(), kDdnsMagic, sizeof kDdnsMagic);
  std::memcpy(out.data() + sizeof kDdnsMagic, ansi->data(), ansi->size());
  return Status::ok();
}

DdnsReplyReader::Result DdnsReplyReader::feed(const std::uint8_t* data, std::size_t n) {
  if (result_ != Result::NeedMore) {
    return result_;
  }
  const std::size_t take = std::min(n, bytes_.size() - have_);
  if (take == 0) {
    return result_;
  }
  std::memcpy(bytes_.data() + have_, data, take);
  have_ += take;
  if (std::memcmp(bytes_.data(), kDdnsMagic, std::min(have_, sizeof kDdnsMagic)) != 0) {
    result_ = Result::BadMagic;
  } else if (have_ == bytes_.size()) {
    answer_.address = static_cast<std::uint32_t>(bytes_[4]) << 24 | static_cast<std::uint32_t>(bytes_[5]) << 16 |
                      static_cast<std::uint32_t>(bytes_[6]) << 8 | bytes_[7];
    answer_.port = static_cast<std::uint16_t>(bytes_[8] | bytes_[9] << 8);
    result_ = Result::Answered;
  }
  return result_;
}

std::optional<std::string> readDdnsQuery(const std::uint8_t* data, std::size_t n) {
  if (n < sizeof kDdnsMagic || std::memcmp(data, kDdnsMagic, sizeof kDdnsMagic) != 0) {
    return std::nullopt;
  }
  const std::uint8_t* name = data + sizeof kDdnsMagic;
  const std::size_t room = std::min(n, kDdnsQueryBytes) - sizeof kDdnsMagic;
  const std::size_t length = static_cast<std::size_t>(std::find(name, name + room, 0) - name);
  return std::string(reinterpret_cast<const char*>(name), length);
}

std::array<std::uint8_t, kDdnsReplyBytes> buildDdnsReply(const DdnsAnswer& answer) {
  std::array<std::uint8_t, kDdnsReplyBytes> out{};
  std::memcpy(out.data(), kDdnsMagic, sizeof kDdnsMagic);
  for (int i = 0; i < 4; ++i) {
    out[4 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(answer.address >> (24 - 8 * i));
  }
  out[8] = static_cast<std::uint8_t>(answer.port);
  out[9] = static_cast<std::uint8_t>(answer.port >> 8);
  return out;
}

}  // namespace marlin::net
