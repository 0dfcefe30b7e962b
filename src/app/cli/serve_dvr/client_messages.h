#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "app/cli/serve_dvr/event_log.h"
#include "net/stream_parser.h"

namespace marlin::cli::serve_dvr {

// The control messages a client sends its DVR, cut out of the bytes however
// they arrive (one parser per connection). The first login is kept for the
// session to check; every other message is logged as it completes: keys,
// mouse, logout, and any other code as a plain message.
class ClientMessages final : private net::StreamSink {
 public:
  explicit ClientMessages(EventLog& log) : log_(log) {}

  void feed(const std::uint8_t* data, std::size_t n) { parser_.feed(data, n); }
  // The login message as it arrived, once; nothing before it arrives.
  std::optional<std::vector<std::uint8_t>> takeLogin();

 private:
  // A client sends no pictures or sound.
  void videoFrame(const std::uint8_t*, std::size_t) override {}
  void audioPacket(const std::uint8_t*, std::size_t) override {}
  void controlMessage(const std::uint8_t* data, std::size_t n) override;

  EventLog& log_;
  net::StreamParser parser_{*this};
  bool loginArrived_ = false;
  std::optional<std::vector<std::uint8_t>> login_;
};

}  // namespace marlin::cli::serve_dvr
