#include "app/cli/serve_dvr/stream_sender.h"

#include <algorithm>

#include "app/cli/cli_support.h"

namespace marlin::cli::serve_dvr {

Status StreamSender::sendStream(const std::vector<std::uint8_t>& bytes) {
  Status sent = send(bytes);
  if (sent && copy_ != nullptr) {
    if (const Status copied = copy_->append(bytes.data(), bytes.size()); !copied) {
      throw CommandError(copied.message());
    }
  }
  return sent;
}

Status StreamSender::send(const std::vector<std::uint8_t>& bytes) {
  if (!split_) {
    return sendPiece(bytes.data(), bytes.size());
  }
  std::uniform_int_distribution<std::size_t> pieceSize(1, 7);
  for (std::size_t at = 0; at < bytes.size();) {
    const std::size_t n = std::min(pieceSize(random_), bytes.size() - at);
    if (Status sent = sendPiece(bytes.data() + at, n); !sent) {
      return sent;
    }
    at += n;
  }
  return Status::ok();
}

Status StreamSender::sendPiece(const std::uint8_t* data, std::size_t n) {
  return socket_.sendWithin(data, n, kSendLimit, &stop_);
}

}  // namespace marlin::cli::serve_dvr
