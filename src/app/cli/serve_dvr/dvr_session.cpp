#include "app/cli/serve_dvr/dvr_session.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <initializer_list>
#include <random>

#include "app/cli/serve_dvr/client_messages.h"
#include "app/cli/serve_dvr/fault_bursts.h"
#include "app/cli/serve_dvr/stream_sender.h"
#include "net/control_message.h"

namespace marlin::cli::serve_dvr {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr auto kStatusEvery = std::chrono::seconds(1);
constexpr std::uint16_t kIncorrectPassword = 2;

enum class Woke { Due, Received, ClientLeft, Stopped };

bool ended(Woke woke) { return woke == Woke::ClientLeft || woke == Woke::Stopped; }

// The digest's hex digits may come in either case.
bool sameLogin(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](std::uint8_t x, std::uint8_t y) { return std::toupper(x) == std::toupper(y); });
}

class Session {
 public:
  Session(TcpSocket& socket, DvrContext& dvr, WakeSignal& attention)
      : socket_(socket),
        dvr_(dvr),
        attention_(attention),
        messages_(dvr.log),
        sender_(socket, dvr.faults.asked(Fault::Split), dvr.sentCopy, dvr.stop) {}

  void run() {
    if (logIn()) {
      stream();
    }
  }

 private:
  bool logIn();
  bool answerLogin(bool passwordRight);
  void stream();
  // Whether the stream goes on after the fault.
  bool inflict(Fault fault, bool& stalled);
  bool sendItem(const LiveItem& item, milliseconds streamed);
  std::vector<std::uint8_t> statusReport(milliseconds streamed) const;
  bool reply(std::uint16_t code, std::initializer_list<std::uint16_t> parameters) {
    return sent(sender_.sendReply(net::buildControlMessage(code, parameters)));
  }
  // Whether the send went, logging a client that took nothing for the limit.
  bool sent(const Status& status);
  // Waits for the client's next bytes until deadline (none: without limit)
  // and takes them in; Due as well when the feed has pieces for the client.
  Woke serviceOnce(std::optional<Clock::time_point> deadline);

  TcpSocket& socket_;
  DvrContext& dvr_;
  WakeSignal& attention_;
  ClientMessages messages_;
  StreamSender sender_;
  std::mt19937 random_{0xDB1};
  std::array<std::uint8_t, 4096> received_{};
};

Woke Session::serviceOnce(std::optional<Clock::time_point> deadline) {
  milliseconds limit(-1);
  if (deadline) {
    limit = std::max(milliseconds(0), std::chrono::ceil<milliseconds>(*deadline - Clock::now()));
  }
  switch (socket_.waitReadable(limit, &attention_)) {
    case SocketReady::Readable: {
      const TcpSocket::Received got = socket_.receive(received_.data(), received_.size());
      if (!got.status || got.bytes == 0) {
        return Woke::ClientLeft;
      }
      messages_.feed(received_.data(), got.bytes);
      return Woke::Received;
    }
    case SocketReady::TimedOut:
      return Woke::Due;
    case SocketReady::Woken:
      attention_.drain();
      return dvr_.stop.wait(milliseconds(0)) ? Woke::Stopped : Woke::Due;
    default:
      return Woke::ClientLeft;
  }
}

bool Session::sent(const Status& status) {
  if (status.systemError() == ETIMEDOUT) {
    dvr_.log.write("send-timeout");
  }
  return status.isOk();
}

bool Session::logIn() {
  const Clock::time_point giveUpAt = Clock::now() + kLoginLimit;
  std::optional<std::vector<std::uint8_t>> login;
  while (!(login = messages_.takeLogin())) {
    if (ended(serviceOnce(giveUpAt))) {
      return false;
    }
    if (Clock::now() >= giveUpAt) {
      dvr_.log.write("login-timeout");
      return false;
    }
  }
  if (dvr_.faults.take(Fault::CloseAfterLogin)) {
    dvr_.log.write("fault", "\"name\":" + jsonString(faultName(Fault::CloseAfterLogin)));
    return false;
  }
  const bool passwordRight = sameLogin(*login, dvr_.login.expectedLogin);
  if (dvr_.login.waitFirst) {
    if (!reply(net::kLoginWait, {})) {
      return false;
    }
    const Clock::time_point answerAt = Clock::now() + *dvr_.login.waitFirst;
    for (Woke woke = Woke::Received; woke != Woke::Due;) {
      woke = serviceOnce(answerAt);
      if (ended(woke)) {
        return false;
      }
    }
  }
  return answerLogin(passwordRight);
}

bool Session::answerLogin(bool passwordRight) {
  std::optional<std::uint16_t> refusal = dvr_.login.refuseReason;
  if (!refusal && !passwordRight) {
    refusal = kIncorrectPassword;
  }
  if (refusal) {
    dvr_.log.write("login", "\"ok\":false,\"reason\":" + std::to_string(*refusal));
    reply(net::kLoginRefused, {*refusal});
    return false;
  }
  dvr_.log.write("login", "\"ok\":true");
  return reply(net::kLoginAccepted, {});
}

void Session::stream() {
  FeedViewer viewer(attention_);
  FeedMembership watching(dvr_.feed, viewer);
  const Clock::time_point start = Clock::now();
  Clock::time_point nextStatus = start + kStatusEvery;
  bool stalled = false;
  for (;;) {
    std::optional<Clock::time_point> deadline;
    if (!stalled) {
      deadline = nextStatus;
      if (const std::optional<milliseconds> fault = dvr_.faults.nextDue()) {
        deadline = std::min(*deadline, start + *fault);
      }
    }
    // Late (a slow machine) means no wait, but the client is still heard.
    if (ended(serviceOnce(deadline))) {
      return;
    }
    if (stalled) {
      continue;
    }
    const Clock::time_point now = Clock::now();
    const auto streamed = std::chrono::duration_cast<milliseconds>(now - start);
    for (const Fault fault : dvr_.faults.takeDue(streamed)) {
      if (!inflict(fault, stalled)) {
        return;
      }
    }
    if (stalled) {
      // Nothing more goes to this client, so the feed need not keep its pieces.
      watching.leave();
      continue;
    }
    if (now >= nextStatus) {
      if (!sent(sender_.sendStream(statusReport(streamed)))) {
        return;
      }
      nextStatus += kStatusEvery;
    }
    for (const std::shared_ptr<const LiveItem>& item : viewer.take()) {
      if (!sendItem(*item, streamed)) {
        return;
      }
    }
  }
}

bool Session::inflict(Fault fault, bool& stalled) {
  dvr_.log.write("fault", "\"name\":" + jsonString(faultName(fault)));
  switch (fault) {
    case Fault::Drop:
      return false;
    case Fault::Stall:
      stalled = true;
      return true;
    case Fault::Garbage:
      return sent(sender_.sendStream(garbageBurst(random_)));
    case Fault::OversizeMessage:
      return sent(sender_.sendStream(oversizeMessage()));
    case Fault::HugeFrame:
      return sent(sender_.sendStream(hugeFrame(dvr_.feed.lastSequence())));
    default:
      // The others change what is sent from now on, or are not the stream's.
      return true;
  }
}

bool Session::sendItem(const LiveItem& item, milliseconds streamed) {
  if (item.kind == LiveItem::Kind::Picture && dvr_.faults.happened(Fault::MessageInFrame)) {
    return sent(sender_.sendStream(withMessageInside(item.bytes, statusReport(streamed))));
  }
  return sent(sender_.sendStream(item.bytes));
}

// Five status words: the cameras present and the seconds streamed to this
// client; a DVR's other words describe its disk and alarms, none here.
std::vector<std::uint8_t> Session::statusReport(milliseconds streamed) const {
  const auto seconds = static_cast<std::uint16_t>(std::chrono::duration_cast<std::chrono::seconds>(streamed).count());
  return net::buildControlMessage(net::kStatusWords, {dvr_.feed.cameraMask(), seconds, 0, 0, 0});
}

}  // namespace

void serveClient(TcpSocket& socket, DvrContext& dvr, WakeSignal& attention) {
  dvr.log.write("client", "\"peer\":" + jsonString(socket.peerName()));
  // Each write leaves as made: pictures reach the client without waiting for
  // the next, and split writes arrive as the pieces they were sent in.
  static_cast<void>(socket.setNoDelay());
  Session(socket, dvr, attention).run();
  socket.close();
  dvr.log.write("disconnected");
}

}  // namespace marlin::cli::serve_dvr
