#include "app/cli/serve_dvr/fault_bursts.h"

#include <algorithm>
#include <array>

#include "net/control_message.h"

namespace marlin::cli::serve_dvr {

namespace {

constexpr std::size_t kGarbageBytes = 64 * 1024;
constexpr std::size_t kOversizeLength = 0x0800;
constexpr std::size_t kHugeFrameBytes = 300000;

// Turns every 00 00 01 Fx into 00 00 02 Fx; changing a 01 into 02 cannot
// complete another start code.
void removeStartCodes(std::vector<std::uint8_t>& bytes) {
  for (std::size_t i = 3; i < bytes.size(); ++i) {
    if (bytes[i - 3] == 0 && bytes[i - 2] == 0 && bytes[i - 1] == 1 && (bytes[i] & 0xF0) == 0xF0) {
      bytes[i - 1] = 2;
    }
  }
}

}  // namespace

std::vector<std::uint8_t> garbageBurst(std::mt19937& random) {
  std::vector<std::uint8_t> bytes(kGarbageBytes);
  std::uniform_int_distribution<int> byte(0, 255);
  std::generate(bytes.begin(), bytes.end(), [&] { return static_cast<std::uint8_t>(byte(random)); });
  // Nor may the burst finish a start code that the stream's last bytes began.
  bytes[0] = 0xFF;
  removeStartCodes(bytes);
  const std::array<std::array<std::uint8_t, 8>, 3> strays = {{
      {0x00, 0x00, 0x01, 0xF8, 0x18, 0x12, 0x34, 0x56},  // a picture that does not decode
      {0x00, 0x00, 0x01, 0xFE, 'Z', 'Z', 'Z', 'Z'},      // a message without a length
      {0x00, 0x00, 0x01, 0xF3, 0x77, 0x77, 0x77, 0x77},  // a start code without a meaning
  }};
  for (std::size_t i = 0; i < strays.size(); ++i) {
    std::copy(strays[i].begin(), strays[i].end(), bytes.begin() + static_cast<long>((i + 1) * kGarbageBytes / 4));
  }
  return bytes;
}

std::vector<std::uint8_t> oversizeMessage() {
  std::vector<std::uint8_t> message = net::buildControlMessage(net::kStatusWords, {});
  const std::uint8_t length[4] = {'0', '8', '0', '0'};
  std::copy(std::begin(length), std::end(length), message.begin() + 4);
  message.resize(kOversizeLength, '0');
  return message;
}

std::vector<std::uint8_t> hugeFrame(std::uint16_t sequence) {
  // Live layout: quality 3 without the refresh flag, then the sequence number.
  std::vector<std::uint8_t> frame = {
      0x00, 0x00, 0x01, 0xF8, 3 << 3, static_cast<std::uint8_t>(sequence >> 8), static_cast<std::uint8_t>(sequence)};
  frame.resize(kHugeFrameBytes, 0x5A);
  return frame;
}

std::vector<std::uint8_t> withMessageInside(const std::vector<std::uint8_t>& frame,
                                            const std::vector<std::uint8_t>& message) {
  std::vector<std::uint8_t> bytes(frame.begin(), frame.begin() + static_cast<long>(frame.size() / 2));
  bytes.insert(bytes.end(), message.begin(), message.end());
  bytes.insert(bytes.end(), frame.begin() + static_cast<long>(frame.size() / 2), frame.end());
  return bytes;
}

}  // namespace marlin::cli::serve_dvr
