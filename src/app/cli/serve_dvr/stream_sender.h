#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "app/cli/serve_dvr/sent_copy.h"
#include "base/status.h"
#include "platform/tcp_socket.h"

namespace marlin::cli::serve_dvr {

// Writes to one client: the login replies, then the live stream, whose bytes
// also go to the sent copy when there is one. With split writes every piece
// leaves in writes of 1 to 7 bytes, as a congested network delivers it.
// A failed send is the client's loss; a failed copy throws CommandError, as
// the copy is what the user asked for.
class StreamSender {
 public:
  StreamSender(TcpSocket& socket, bool splitWrites, SentCopy* copy)
      : socket_(socket), split_(splitWrites), copy_(copy) {}

  Status sendReply(const std::vector<std::uint8_t>& bytes) { return send(bytes); }
  Status sendStream(const std::vector<std::uint8_t>& bytes);

 private:
  Status send(const std::vector<std::uint8_t>& bytes);

  TcpSocket& socket_;
  bool split_;
  SentCopy* copy_;
  std::mt19937 random_{0x5EED};
};

}  // namespace marlin::cli::serve_dvr
