#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

namespace marlin::net {

// The text control messages both sides of a DVR connection exchange:
// 00 00 01 FE, then the total length, a code and the parameters, each as
// four hex digits.
inline constexpr std::uint8_t kControlStartCode[4] = {0x00, 0x00, 0x01, 0xFE};
inline constexpr std::size_t kControlHeaderBytes = 12;

// Message codes.
enum ControlCode : std::uint16_t {
  kLoginWait = 1,
  kLoginRefused = 2,
  kLoginAccepted = 3,
  kLoginRefusedToo = 4,
  kStatusWord = 7,
  kStatusWords = 8,
  kServerClosing = 11,
  kLogin = 0x81,
  kRemoteKey = 0x85,
  kLogout = 0x86,
  kMouse = 0x89,
};

// A four-digit hex field, read case-insensitively; nullopt when any of the
// four characters is not a hex digit.
std::optional<std::uint16_t> readHexField(const std::uint8_t* field);
// The same, 0 for an invalid field (how a DVR's length field is taken while
// a message is being cut out of the stream).
std::uint16_t readHexFieldOrZero(const std::uint8_t* field);

// A control message: start code, length, code, then each parameter as "%04X".
std::vector<std::uint8_t> buildControlMessage(std::uint16_t code, std::initializer_list<std::uint16_t> parameters);
// The login: code 0x81 carrying the password digest as 32 hex characters.
std::vector<std::uint8_t> buildLoginMessage(const std::string& digestHex);
// The remote-control key (its low 8 bits).
std::vector<std::uint8_t> buildRemoteKeyMessage(int value);
std::vector<std::uint8_t> buildLogoutMessage();

// A received control message, read only from the bytes that arrived: the
// length field and the code must be there and valid; parameters are the
// complete fields between byte 12 and the end of what arrived, up to the
// length field, and an invalid parameter field reads as 0.
struct ControlMessage {
  std::uint16_t length = 0;
  std::uint16_t code = 0;
  std::vector<std::uint16_t> parameters;

  // The parameter at index, nullopt when the message did not carry it.
  std::optional<std::uint16_t> parameter(std::size_t index) const;
};
// nullopt when the bytes do not begin with the start code or hold no
// valid length and code.
std::optional<ControlMessage> readControlMessage(const std::uint8_t* data, std::size_t n);

}  // namespace marlin::net
