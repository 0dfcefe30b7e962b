#include "net/control_message.h"

#include <cstring>

namespace marlin::net {

namespace {

int hexDigit(std::uint8_t c) {
  if (c >= '0' && c <= '9') {
    return c - '0';
  }
  if (c >= 'A' && c <= 'F') {
    return c - 'A' + 10;
  }
  if (c >= 'a' && c <= 'f') {
    return c - 'a' + 10;
  }
  return -1;
}

void appendHexField(std::vector<std::uint8_t>& out, std::uint16_t value) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  for (int shift = 12; shift >= 0; shift -= 4) {
    out.push_back(static_cast<std::uint8_t>(kDigits[(value >> shift) & 0x0F]));
  }
}

std::vector<std::uint8_t> messageHeader(std::size_t totalBytes, std::uint16_t code) {
  std::vector<std::uint8_t> out(std::begin(kControlStartCode), std::end(kControlStartCode));
  out.reserve(totalBytes);
  appendHexField(out, static_cast<std::uint16_t>(totalBytes));
  appendHexField(out, code);
  return out;
}

}  // namespace

std::optional<std::uint16_t> readHexField(const std::uint8_t* field) {
  unsigned value = 0;
  for (int i = 0; i < 4; ++i) {
    const int digit = hexDigit(field[i]);
    if (digit < 0) {
      return std::nullopt;
    }
    value = value << 4 | static_cast<unsigned>(digit);
  }
  return static_cast<std::uint16_t>(value);
}

std::uint16_t readHexFieldOrZero(const std::uint8_t* field) { return readHexField(field).value_or(0); }

std::vector<std::uint8_t> buildControlMessage(std::uint16_t code, std::initializer_list<std::uint16_t> parameters) {
  std::vector<std::uint8_t> out = messageHeader(kControlHeaderBytes + 4 * parameters.size(), code);
  for (const std::uint16_t parameter : parameters) {
    appendHexField(out, parameter);
  }
  return out;
}

std::vector<std::uint8_t> buildLoginMessage(const std::string& digestHex) {
  std::vector<std::uint8_t> out = messageHeader(kControlHeaderBytes + digestHex.size(), kLogin);
  out.insert(out.end(), digestHex.begin(), digestHex.end());
  return out;
}

std::vector<std::uint8_t> buildRemoteKeyMessage(int value) {
  return buildControlMessage(kRemoteKey, {static_cast<std::uint16_t>(value & 0xFF)});
}

std::vector<std::uint8_t> buildLogoutMessage() { return buildControlMessage(kLogout, {}); }

std::optional<std::uint16_t> ControlMessage::parameter(std::size_t index) const {
  if (index >= parameters.size()) {
    return std::nullopt;
  }
  return parameters[index];
}

std::optional<ControlMessage> readControlMessage(const std::uint8_t* data, std::size_t n) {
  if (n < kControlHeaderBytes || std::memcmp(data, kControlStartCode, sizeof kControlStartCode) != 0) {
    return std::nullopt;
  }
  const std::optional<std::uint16_t> length = readHexField(data + 4);
  const std::optional<std::uint16_t> code = readHexField(data + 8);
  if (!length || !code || *length < kControlHeaderBytes) {
    return std::nullopt;
  }
  ControlMessage message;
  message.length = *length;
  message.code = *code;
  const std::size_t end = n < *length ? n : *length;
  for (std::size_t at = kControlHeaderBytes; at + 4 <= end; at += 4) {
    message.parameters.push_back(readHexFieldOrZero(data + at));
  }
  return message;
}

}  // namespace marlin::net
