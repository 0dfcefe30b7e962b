#pragma once

#include <chrono>
#include <cstdint>
#include <random>
#include <vector>

#include "app/cli/serve_dvr/sent_copy.h"
#include "base/status.h"
#include "platform/tcp_socket.h"
#include "platform/wake_signal.h"

namespace marlin::cli::serve_dvr {

// How long a client may take nothing of what is sent to it before it is let go.
inline constexpr std::chrono::seconds kSendLimit{5};

// Writes to one client: the login replies, then the live stream, whose bytes
// also go to the sent copy when there is one. With split writes every piece
// leaves in writes of 1 to 7 bytes, as a congested network delivers it.
// A failed send is the client's loss: one that takes nothing for kSendLimit,
// or any send once stop is poked, fails; a failed copy throws CommandError,
// as the copy is what the user asked for.
class StreamSender {
 public:
  StreamSender(TcpSocket& socket, bool splitWrites, SentCopy* copy, const WakeSignal& stop)
      : socket_(socket), split_(splitWrites), copy_(copy), stop_(stop) {}

  Status sendReply(const std::vector<std::uint8_t>& bytes) { return send(bytes); }
  Status sendStream(const std::vector<std::uint8_t>& bytes);

 private:
  Status send(const std::vector<std::uint8_t>& bytes);
  Status sendPiece(const std::uint8_t* data, std::size_t n);

  TcpSocket& socket_;
  bool split_;
  SentCopy* copy_;
  const WakeSignal& stop_;
  std::mt19937 random_{0x5EED};
};

}  // namespace marlin::cli::serve_dvr
