#include "app/cli/serve_dvr/ddns_responder.h"

#include <algorithm>
#include <array>
#include <optional>

#include "base/log.h"
#include "net/ddns_messages.h"

namespace marlin::cli::serve_dvr {

namespace {

constexpr std::uint32_t kLoopback = 0x7F000001;
constexpr std::chrono::milliseconds kWithoutLimit(-1);
// Lookups are answered one at a time: a client whose query has not come by
// then is let go, so that it cannot keep the service from the others.
constexpr std::chrono::seconds kQueryLimit{5};

}  // namespace

DdnsResponder::DdnsResponder(TcpListener& listener, std::string dvrName, std::uint16_t dvrPort, FaultPlan& faults,
                             EventLog& log, const WakeSignal& stop)
    : listener_(listener), dvrName_(std::move(dvrName)), dvrPort_(dvrPort), faults_(faults), log_(log), stop_(stop) {}

void DdnsResponder::run() {
  for (;;) {
    TcpSocket socket;
    if (const Status accepted = listener_.accept(kWithoutLimit, &stop_, socket); !accepted) {
      // Only a stop ends the wait without a failure of the listener itself.
      if (accepted.code() != StatusCode::Busy) {
        logError(accepted.message());
      }
      return;
    }
    answer(socket);
  }
}

void DdnsResponder::answer(TcpSocket& socket) {
  std::array<std::uint8_t, net::kDdnsQueryBytes> query{};
  const auto giveUpAt = std::chrono::steady_clock::now() + kQueryLimit;
  for (std::size_t have = 0; have < query.size();) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(giveUpAt - std::chrono::steady_clock::now());
    if (socket.waitReadable(std::max(left, std::chrono::milliseconds(0)), &stop_) != SocketReady::Readable) {
      return;
    }
    const TcpSocket::Received got = socket.receive(query.data() + have, query.size() - have);
    if (!got.status || got.bytes == 0) {
      return;
    }
    have += got.bytes;
  }
  const std::optional<std::string> name = net::readDdnsQuery(query.data(), query.size());
  if (!name) {
    log_.write("ddns-query", "\"valid\":false");
    return;
  }
  log_.write("ddns-query", "\"name\":" + jsonString(*name));
  if (*name != dvrName_) {
    return;
  }
  if (faults_.take(Fault::DdnsSilent)) {
    log_.write("fault", "\"name\":" + jsonString(faultName(Fault::DdnsSilent)));
    waitForClose(socket);
    return;
  }
  std::array<std::uint8_t, net::kDdnsReplyBytes> reply = net::buildDdnsReply({kLoopback, dvrPort_});
  if (faults_.take(Fault::DdnsBadMagic)) {
    log_.write("fault", "\"name\":" + jsonString(faultName(Fault::DdnsBadMagic)));
    reply[0] ^= 0xFF;
  }
  static_cast<void>(socket.sendAll(reply.data(), reply.size()));
}

void DdnsResponder::waitForClose(TcpSocket& socket) {
  std::array<std::uint8_t, 256> ignored{};
  while (socket.waitReadable(kWithoutLimit, &stop_) == SocketReady::Readable) {
    const TcpSocket::Received got = socket.receive(ignored.data(), ignored.size());
    if (!got.status || got.bytes == 0) {
      return;
    }
  }
}

}  // namespace marlin::cli::serve_dvr
