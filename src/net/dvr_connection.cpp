// The connection thread of DvrClient: connecting, the lookup, the login and the live stream, with the waits between.

#include <algorithm>
#include <cerrno>
#include <optional>

#include "base/log.h"
#include "net/control_message.h"
#include "net/dvr_client.h"
#include "net/login_reply.h"
#include "platform/tcp_socket.h"

namespace marlin::net {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// One receive takes at most one queue block's worth, the largest piece the stream parser keeps.
constexpr std::size_t kReceiveBytes = kLiveVideoCapacity;
constexpr milliseconds kFirstRetryPause{1000};
constexpr milliseconds kLongestRetryPause{8000};
constexpr milliseconds kPauseAfterLoss{1000};
constexpr milliseconds kLogoutGrace{300};
constexpr const char* kNoResponse = "No response from server.";
constexpr const char* kDdnsLoginError = "DDNS LOGIN ERROR";

// A lookup the service refused or broke off, with the system's reason when it gave one.
std::string ddnsLoginError(const std::string& reason) { return std::string(kDdnsLoginError) + " (" + reason + ")"; }

milliseconds millisecondsUntil(Clock::time_point when) {
  return std::max(std::chrono::ceil<milliseconds>(when - Clock::now()), milliseconds(0));
}

}  // namespace

// One run of the connection thread, with the state that lasts only as long as the run.
class DvrClient::Connection {
 public:
  explicit Connection(DvrClient& client) : client_(client), buffer_(kReceiveBytes) {}

  void run();

 private:
  enum class Step { Done, Retry, Failed, Stopped };
  enum class Reply { Complete, PeerClosed, TimedOut, Broken, Stopped };

  bool stopRequested() const { return !client_.running_ || client_.stopEvent_.isSet(); }
  milliseconds timeout() const { return milliseconds(client_.timeoutMs_.load()); }

  Step connect(std::uint32_t address, std::uint16_t port, TcpSocket& out);
  Step lookUpDvr();
  Step logIn();
  // false when stopped; true when the connection was lost.
  bool receiveUntilLost();
  // The keys handed over and a due mouse event; false when the connection broke.
  bool sendOutgoing(Clock::time_point now);
  bool sendKeys(const std::vector<std::uint8_t>& keys);
  bool sendDueMouse(Clock::time_point now);
  // Within the send limit: a DVR that reads nothing must not hold the thread.
  Status send(const std::vector<std::uint8_t>& message);
  // Keeps the reason for a connection that broke; false.
  bool lost(const Status& failure);
  void attachMouse(bool attach);
  // A login starts with no mouse event and no button down: a click the view recorded before it (the right-click
  // that opened a menu in Player mode, say) was never meant for this DVR.
  void startMouse();
  // Lets go of a button the DVR still holds down, so the next session does not start in a drag.
  Status releaseHeldMouse();
  // Ends a login: keys are refused from now on, and the socket is closed.
  void closeDvr();

  // Receives into the buffer, handing each piece's size to consume until it says the reply is complete, for at
  // most the timeout.
  template <typename Consume>
  Reply awaitReply(TcpSocket& socket, Consume consume);
  SocketReady waitUntil(const TcpSocket& socket, Clock::time_point until);
  bool pause(milliseconds length);
  void finishAfterLogout();
  void noticeNoResponseWhenDue();
  void noteActivity() { lastActivity_ = Clock::now(); }
  // The lookup or the login failed: the connection ends.
  Step fail(std::string text);
  Step failLogin(std::string text);

  DvrClient& client_;
  const Target& target_ = client_.target_;
  TcpSocket dvr_;
  std::vector<std::uint8_t> buffer_;
  std::uint32_t dvrAddress_ = target_.dvrAddress;
  std::uint16_t dvrPort_ = target_.dvrPort;
  bool ddnsResolved_ = false;
  bool loggedInBefore_ = false;
  milliseconds retryPause_ = kFirstRetryPause;
  Clock::time_point lastActivity_ = Clock::now();
  std::optional<MouseSender> mouseSender_;
};

int DvrClient::run() {
  Connection(*this).run();
  return 1;
}

void DvrClient::Connection::run() {
  client_.wake_.drain();
  while (!stopRequested()) {
    if (target_.useDdns && !ddnsResolved_) {
      const Step lookedUp = lookUpDvr();
      if (lookedUp == Step::Retry) {
        continue;
      }
      if (lookedUp != Step::Done) {
        break;
      }
    }
    client_.changeState(ConnectionState::ConnectingDvr);
    const Step connected = connect(dvrAddress_, dvrPort_, dvr_);
    if (connected == Step::Retry) {
      continue;
    }
    if (connected != Step::Done) {
      break;
    }
    if (logIn() != Step::Done || !receiveUntilLost()) {
      break;
    }
    attachMouse(false);
    closeDvr();
    if (!client_.autoReconnect_) {
      // As if the DVR had said it was closing; the state goes idle below.
      client_.tell(ClientNotice::Closed);
      break;
    }
    client_.changeState(ConnectionState::Idle);
    if (client_.stopEvent_.wait(kPauseAfterLoss)) {
      break;
    }
    // The reconnect gets a whole timeout before the user hears that the DVR does not answer.
    noteActivity();
  }
  if (client_.loggedIn_ && stopRequested()) {
    // Only a stopped session says goodbye, after the keys handed over before
    // the stop; the results do not matter, the socket closes next.
    (void)sendKeys(client_.remoteKeys_.close());
    (void)releaseHeldMouse();
    (void)send(buildLogoutMessage());
    finishAfterLogout();
  }
  attachMouse(false);
  closeDvr();
  client_.changeState(ConnectionState::Idle);
}

DvrClient::Connection::Step DvrClient::Connection::connect(std::uint32_t address, std::uint16_t port, TcpSocket& out) {
  // While not logged in only a stop pokes, and it sets the stop event first, so a stale poke is dropped here
  // rather than cutting the connect short.
  client_.wake_.drain();
  if (stopRequested()) {
    return Step::Stopped;
  }
  const Status connected = TcpSocket::connect(address, port, timeout(), &client_.wake_, out);
  if (stopRequested()) {
    return Step::Stopped;
  }
  if (connected) {
    return Step::Done;
  }
  client_.setLastError(connected.message());
  client_.changeState(ConnectionState::Idle);
  if (connected.code() != StatusCode::Busy && !loggedInBefore_) {
    // The system said why nothing answers: a user waiting for a first login hears it now rather than after the
    // timeout. A DVR that had let us in may be restarting, so that one is waited for.
    client_.tell(ClientNotice::NoResponse);
    return Step::Failed;
  }
  // A DVR or service that cannot be reached is tried again, less often the longer it stays away.
  const milliseconds pauseLength = retryPause_;
  retryPause_ = std::min(retryPause_ * 2, kLongestRetryPause);
  return pause(pauseLength) ? Step::Retry : Step::Stopped;
}

DvrClient::Connection::Step DvrClient::Connection::lookUpDvr() {
  client_.changeState(ConnectionState::ConnectingDdns);
  TcpSocket ddns;
  if (const Step connected = connect(target_.ddnsAddress, target_.ddnsPort, ddns); connected != Step::Done) {
    return connected;
  }
  if (const Status options = ddns.setQuickCloseOptions(); !options) {
    logDebug(options.message());
  }
  client_.changeState(ConnectionState::QueryingDdns);
  if (const Status sent = ddns.sendAll(target_.ddnsQuery.data(), target_.ddnsQuery.size()); !sent) {
    return fail(ddnsLoginError(sent.message()));
  }
  DdnsReplyReader reader;
  auto result = DdnsReplyReader::Result::NeedMore;
  const Reply reply = awaitReply(ddns, [&](std::size_t n) {
    result = reader.feed(buffer_.data(), n);
    return result != DdnsReplyReader::Result::NeedMore;
  });
  switch (reply) {
    case Reply::Stopped:
      return Step::Stopped;
    case Reply::Broken:
      return fail(ddnsLoginError(client_.lastError()));
    case Reply::TimedOut:
      return fail(kNoResponse);
    case Reply::PeerClosed:
      // The service answered by closing before its reply was whole: the
      // lookup failed, which is not the same as a service that never answers.
      return fail(kDdnsLoginError);
    case Reply::Complete:
      break;
  }
  if (result == DdnsReplyReader::Result::BadMagic) {
    return fail(kDdnsLoginError);
  }
  dvrAddress_ = reader.answer().address;
  dvrPort_ = reader.answer().port;
  ddnsResolved_ = true;
  client_.changeState(ConnectionState::DdnsResolved);
  noteActivity();
  return Step::Done;
}

DvrClient::Connection::Step DvrClient::Connection::logIn() {
  client_.changeState(ConnectionState::LoggingIn);
  if (const Status sent = send(target_.loginMessage); !sent) {
    return failLogin(sent.message());
  }
  LoginReplyReader reader;
  const Reply reply = awaitReply(
      dvr_, [&](std::size_t n) { return reader.feed(buffer_.data(), n) != LoginReplyReader::Result::NeedMore; });
  switch (reply) {
    case Reply::Stopped:
      return Step::Stopped;
    case Reply::Broken:
      return failLogin(client_.lastError());
    case Reply::TimedOut:
      return failLogin(kNoResponse);
    case Reply::PeerClosed:
      reader.endOfStream();
      break;
    case Reply::Complete:
      break;
  }
  if (reader.result() != LoginReplyReader::Result::Accepted) {
    return failLogin(reader.failureText());
  }
  // Before the flag: an event recorded by someone who saw it must not be wiped.
  startMouse();
  client_.remoteKeys_.open();
  client_.loggedIn_ = true;
  client_.changeState(ConnectionState::LoggedIn);
  if (loggedInBefore_) {
    ++client_.reconnects_;
  }
  loggedInBefore_ = true;
  retryPause_ = kFirstRetryPause;
  noteActivity();
  // The DVR may start the stream in the same segment as its acceptance.
  const std::vector<std::uint8_t>& streamStart = reader.streamBytes();
  client_.parser_.feed(streamStart.data(), streamStart.size());
  return Step::Done;
}

bool DvrClient::Connection::receiveUntilLost() {
  while (!stopRequested()) {
    const Clock::time_point now = Clock::now();
    if (!sendOutgoing(now)) {
      return true;
    }
    // There is no keep-alive: a connection is alive only while bytes arrive within the timeout.
    const Clock::time_point silentAt = lastActivity_ + timeout();
    if (now >= silentAt) {
      client_.setLastError(kNoResponse);
      return true;
    }
    Clock::time_point wakeAt = silentAt;
    if (const auto mouseAt = mouseSender_ ? mouseSender_->nextDeadline() : std::nullopt; mouseAt) {
      wakeAt = std::min(wakeAt, *mouseAt);
    }
    const SocketReady ready = waitUntil(dvr_, wakeAt);
    if (ready == SocketReady::Failed) {
      client_.setLastError(Status::fromErrno(errno, "cannot wait for the DVR").message());
      return true;
    }
    if (ready != SocketReady::Readable) {
      continue;
    }
    const TcpSocket::Received received = dvr_.receive(buffer_.data(), buffer_.size());
    if (!received.status) {
      client_.setLastError(received.status.message());
      return true;
    }
    if (received.bytes == 0) {
      return true;
    }
    // A DVR's pictures often end in a short send that its stack holds back
    // until our acknowledgement comes.
    (void)dvr_.acknowledgeAtOnce();
    client_.parser_.feed(buffer_.data(), received.bytes);
    noteActivity();
  }
  return false;
}

bool DvrClient::Connection::sendOutgoing(Clock::time_point now) {
  return sendKeys(client_.remoteKeys_.take()) && sendDueMouse(now);
}

bool DvrClient::Connection::sendKeys(const std::vector<std::uint8_t>& keys) {
  // One send per key: a message this short is all but never cut when the DVR's window closes.
  for (std::size_t i = 0; i < keys.size(); ++i) {
    const Status sent = send(buildRemoteKeyMessage(keys[i]));
    if (sent.code() == StatusCode::Busy) {
      // The DVR took nothing for the whole limit; the keys after this one would fare no better.
      client_.dropRemoteKeys(keys.size() - i, sent.message());
      return true;
    }
    if (!sent) {
      return lost(sent);
    }
  }
  return true;
}

bool DvrClient::Connection::sendDueMouse(Clock::time_point now) {
  if (!mouseSender_) {
    return true;
  }
  mouseSender_->setMode(client_.mouseMode_);
  const std::optional<std::vector<std::uint8_t>> message = mouseSender_->due(now);
  if (!message) {
    return true;
  }
  const Status sent = send(*message);
  if (sent.code() == StatusCode::Busy) {
    // A mouse message the DVR did not take is not worth a report: the next event carries the latest position anyway.
    logDebug(sent.message());
    return true;
  }
  return sent ? true : lost(sent);
}

Status DvrClient::Connection::send(const std::vector<std::uint8_t>& message) {
  return dvr_.sendWithin(message.data(), message.size(), kSendLimit, nullptr);
}

bool DvrClient::Connection::lost(const Status& failure) {
  client_.setLastError(failure.message());
  return false;
}

void DvrClient::Connection::closeDvr() {
  client_.loggedIn_ = false;
  client_.dropRemoteKeys(client_.remoteKeys_.close().size(), "the connection ended");
  dvr_.close();
}

void DvrClient::Connection::attachMouse(bool attach) {
  // Mouse events wake the thread only while they can be sent; otherwise they would cut connects and pauses short.
  if (client_.mouse_ != nullptr) {
    client_.mouse_->setWake(attach ? &client_.wake_ : nullptr);
  }
}

void DvrClient::Connection::startMouse() {
  if (client_.mouse_ == nullptr) {
    return;
  }
  client_.mouse_->reset();
  mouseSender_.emplace(*client_.mouse_);
  attachMouse(true);
}

Status DvrClient::Connection::releaseHeldMouse() {
  const std::optional<std::vector<std::uint8_t>> release = mouseSender_ ? mouseSender_->releaseHeld() : std::nullopt;
  return release ? send(*release) : Status::ok();
}

template <typename Consume>
DvrClient::Connection::Reply DvrClient::Connection::awaitReply(TcpSocket& socket, Consume consume) {
  const Clock::time_point deadline = Clock::now() + timeout();
  while (!stopRequested()) {
    switch (waitUntil(socket, deadline)) {
      case SocketReady::Readable:
        break;
      case SocketReady::Failed:
        client_.setLastError(Status::fromErrno(errno, "cannot wait for a reply").message());
        return Reply::Broken;
      case SocketReady::TimedOut:
        if (Clock::now() >= deadline) {
          return Reply::TimedOut;
        }
        continue;
      default:
        continue;
    }
    const TcpSocket::Received received = socket.receive(buffer_.data(), buffer_.size());
    if (!received.status) {
      client_.setLastError(received.status.message());
      return Reply::Broken;
    }
    if (received.bytes == 0) {
      return Reply::PeerClosed;
    }
    if (consume(received.bytes)) {
      return Reply::Complete;
    }
  }
  return Reply::Stopped;
}

SocketReady DvrClient::Connection::waitUntil(const TcpSocket& socket, Clock::time_point until) {
  const SocketReady ready = socket.waitReadable(millisecondsUntil(until), &client_.wake_);
  if (ready == SocketReady::Woken) {
    // Whoever poked has already set what the thread should look at (the stop event, a fresh mouse event).
    client_.wake_.drain();
  }
  return ready;
}

void DvrClient::Connection::finishAfterLogout() {
  // Closing with the DVR's stream still arriving would reset the connection,
  // and a DVR that has not read the logout yet would lose it. So the logout
  // is followed by the end of our sending, and what is still on its way is
  // read until the DVR closes too, for a short while at most.
  dvr_.shutdownSending();
  const Clock::time_point giveUpAt = Clock::now() + kLogoutGrace;
  while (dvr_.waitReadable(millisecondsUntil(giveUpAt), nullptr) == SocketReady::Readable) {
    const TcpSocket::Received received = dvr_.receive(buffer_.data(), buffer_.size());
    if (!received.status || received.bytes == 0) {
      return;
    }
  }
}

bool DvrClient::Connection::pause(milliseconds length) {
  const Clock::time_point end = Clock::now() + length;
  for (;;) {
    noticeNoResponseWhenDue();
    const Clock::time_point now = Clock::now();
    if (now >= end) {
      return true;
    }
    const Clock::time_point noticeAt = lastActivity_ + timeout();
    if (client_.stopEvent_.wait(millisecondsUntil(std::min(end, std::max(noticeAt, now))))) {
      return false;
    }
  }
}

void DvrClient::Connection::noticeNoResponseWhenDue() {
  // Once per timeout without a login; the count starts again from the notice.
  if (Clock::now() - lastActivity_ >= timeout()) {
    client_.tell(ClientNotice::NoResponse);
    noteActivity();
  }
}

DvrClient::Connection::Step DvrClient::Connection::fail(std::string text) {
  client_.setLastError(std::move(text));
  client_.changeState(ConnectionState::Idle);
  client_.tell(ClientNotice::LoginFailed);
  return Step::Failed;
}

DvrClient::Connection::Step DvrClient::Connection::failLogin(std::string text) {
  closeDvr();
  return fail(std::move(text));
}

}  // namespace marlin::net
