#include "net/dvr_client.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <time.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

#include "net/net_test_support.h"
#include "net/remote_keys.h"
#include "support/fake_server.h"
#include "support/wait_until.h"

namespace marlin::net {
namespace {

using namespace std::chrono_literals;
using marlin::testing::FakePeer;
using marlin::testing::FakeServer;
using testing::controlBytes;
using testing::joined;
using testing::startCoded;
using Bytes = std::vector<std::uint8_t>;

const Bytes kAccept = controlBytes("000C0003");

class RecordingObserver final : public ClientObserver {
 public:
  void connectionStateChanged(ConnectionState state) override {
    std::lock_guard guard(lock_);
    states_.push_back(state);
    thread_ = pthread_self();
  }
  void notice(ClientNotice notice) override {
    std::lock_guard guard(lock_);
    notices_.push_back(notice);
  }
  std::vector<ConnectionState> states() const {
    std::lock_guard guard(lock_);
    return states_;
  }
  std::vector<ClientNotice> notices() const {
    std::lock_guard guard(lock_);
    return notices_;
  }
  template <typename T>
  static int count(const std::vector<T>& seen, T wanted) {
    return static_cast<int>(std::count(seen.begin(), seen.end(), wanted));
  }
  // The processor time the connection thread has used; it must still run.
  double connectionThreadCpuSeconds() const {
    clockid_t clock;
    timespec used{};
    std::lock_guard guard(lock_);
    EXPECT_EQ(pthread_getcpuclockid(thread_, &clock), 0);
    EXPECT_EQ(clock_gettime(clock, &used), 0);
    return static_cast<double>(used.tv_sec) + static_cast<double>(used.tv_nsec) * 1e-9;
  }

 private:
  mutable std::mutex lock_;
  std::vector<ConnectionState> states_;
  std::vector<ClientNotice> notices_;
  pthread_t thread_{};
};

// Reads the login and accepts it, then keeps the connection.
void acceptAndHold(FakePeer& peer, int) {
  peer.read(44);
  peer.send(kAccept);
  peer.holdUntilClosed();
}

class DvrClientTest : public ::testing::Test {
 protected:
  void start(const FakeServer& dvr, std::uint32_t timeoutMs = 5000) {
    ASSERT_TRUE(client.setDirectLogin("127.0.0.1", dvr.port(), "secret").isOk());
    startWith(timeoutMs);
  }
  void startWith(std::uint32_t timeoutMs) {
    client.setObserver(&observer);
    client.setTimeoutMs(timeoutMs);
    ASSERT_EQ(client.startConnection(), 1);
  }

  RecordingObserver observer;
  DvrClient client;
};

TEST_F(DvrClientTest, LogsInWithTheDigestOfTheWindows1252PasswordAfterAWait) {
  FakeServer dvr([](FakePeer& peer, int) {
    peer.read(44);
    peer.send(controlBytes("000C0001"));
    std::this_thread::sleep_for(50ms);
    peer.send(kAccept);
    peer.holdUntilClosed();
  });
  ASSERT_TRUE(client.setDirectLogin("127.0.0.1", dvr.port(), "Pässwörd€").isOk());
  // Refused values leave the set-up as it was; they are never cut to fit.
  EXPECT_FALSE(client.setDirectLogin("127.0.0.1", 1, std::string(32, 'a')).isOk());
  EXPECT_FALSE(client.setDirectLogin("127.0.0.1", 1, "密码").isOk());
  EXPECT_FALSE(client.setDdnsLogin("127.0.0.1", 1, "NINECHARS", "secret").isOk());
  startWith(5000);

  // The client's state changes before the observer hears of it, so the wait is for the observer: the states
  // compared below are all told by then. The flag comes first, so a key sent on hearing of the login goes out.
  ASSERT_TRUE(marlin::testing::waitUntil(
      [&] { return RecordingObserver::count(observer.states(), ConnectionState::LoggedIn) == 1; }));
  EXPECT_TRUE(client.isLoggedIn());
  EXPECT_EQ(dvr.received(0), controlBytes("002C0081F0E671A4452C41ACF0024D363DD8D629"));
  EXPECT_EQ(observer.states(),
            (std::vector{ConnectionState::ConnectingDvr, ConnectionState::LoggingIn, ConnectionState::LoggedIn}));
  EXPECT_EQ(client.reconnects(), 0u);
}

TEST(DvrClientEnd, RefusedOrUnansweredLoginsAndLookupsEndTheConnectionWithTheirReason) {
  const struct {
    bool throughDdns;
    Bytes reply;
    const char* error;
    // Otherwise the server keeps the connection until the client closes it.
    bool closesAfterTheReply = false;
  } cases[] = {
      {false, controlBytes("000C00020001"), "Too many client."},
      {false, controlBytes("000C00020002"), "Incorrect password."},
      {false, controlBytes("000C00040009"), "Unkown error."},
      {false, Bytes{0x00, 0x00, 0x02, 0xFE, '0', '0', '0', 'C', '0', '0', '0', '3'}, "LOGIN ERROR"},
      {false, {}, "No response from server."},
      {true, Bytes{0x55, 0xAA, 0x55, 0xAB, 127, 0, 0, 1, 0, 1}, "DDNS LOGIN ERROR"},
      {true, {}, "No response from server."},
      // A service that closes before its reply is whole has answered: the lookup failed.
      {true, Bytes{0x55, 0xAA, 0x55, 0xAA, 127, 0}, "DDNS LOGIN ERROR", true},
      {true, {}, "DDNS LOGIN ERROR", true},
  };
  for (const auto& failure : cases) {
    SCOPED_TRACE(failure.error);
    FakeServer server([&](FakePeer& peer, int) {
      peer.read(failure.throughDdns ? 12 : 44);
      if (!failure.reply.empty()) {
        peer.send(failure.reply);
      }
      if (!failure.closesAfterTheReply) {
        peer.holdUntilClosed();
      }
    });
    RecordingObserver observer;
    DvrClient client;
    ASSERT_TRUE((failure.throughDdns ? client.setDdnsLogin("127.0.0.1", server.port(), "DVR1", "secret")
                                     : client.setDirectLogin("127.0.0.1", server.port(), "secret"))
                    .isOk());
    client.setObserver(&observer);
    client.setTimeoutMs(300);
    ASSERT_EQ(client.startConnection(), 1);
    ASSERT_TRUE(marlin::testing::waitUntil([&] { return !client.isRunning(); }));
    EXPECT_EQ(client.lastError(), failure.error);
    EXPECT_EQ(observer.notices(), std::vector{ClientNotice::LoginFailed});
    EXPECT_EQ(observer.states().back(), ConnectionState::Idle);
    EXPECT_EQ(server.connections(), 1);
  }
}

class LiveStream : public DvrClientTest, public ::testing::WithParamInterface<bool> {};

TEST_P(LiveStream, FramesReachTheQueuesStampedWithTheLiveTimeAndReportsReachTheObserver) {
  const bool sameSegmentAsTheAccept = GetParam();
  Bytes stream =
      joined({startCoded(0xF9, {1, 2, 3, 4, 5}), startCoded(0xF8, {6, 7}), startCoded(0xFA, {0xEE, 0xEE, 9, 8, 7}),
              controlBytes("002000080001000200030004"
                           "0005"),
              controlBytes("00100007000F"),
              controlBytes("001400080009"
                           "0009"),
              controlBytes("000C000B")});
  // Eighteen more frames end while the queue is not emptied: the last two do not fit.
  for (std::uint8_t i = 0; i < 17; ++i) {
    stream = joined({stream, startCoded(0xF8, {i})});
  }
  FakeServer dvr([&](FakePeer& peer, int) {
    peer.read(44);
    if (sameSegmentAsTheAccept) {
      peer.send(joined({kAccept, stream}));
    } else {
      peer.send(kAccept);
      std::this_thread::sleep_for(50ms);
      peer.send(stream);
    }
    peer.holdUntilClosed();
  });
  start(dvr);
  ASSERT_TRUE(marlin::testing::waitUntil([&] { return client.videoDropped() == 2; }));
  EXPECT_EQ(client.videoQueue().filledCount(), 16u);
  EXPECT_EQ(client.audioDropped(), 0u);

  Bytes data(kLiveVideoCapacity);
  FrameRecord record{data.data(), 0, kLiveVideoCapacity, 0, {}, 0};
  std::array<std::uint8_t, 32> liveTime{0xD8, 0x07, 1, 0, 0, 0, 1, 0, 10};
  liveTime[24] = 1;
  for (const Bytes& frame : {startCoded(0xF9, {1, 2, 3, 4, 5}), startCoded(0xF8, {6, 7})}) {
    ASSERT_EQ(client.videoQueue().pop(record), 1);
    EXPECT_EQ(Bytes(data.begin(), data.begin() + record.length), frame);
    EXPECT_EQ(record.header, liveTime);
  }
  ASSERT_EQ(client.audioQueue().pop(record), 1);
  EXPECT_EQ(Bytes(data.begin(), data.begin() + record.length), (Bytes{9, 8, 7}));

  // The report of code 8 that lacks words is ignored.
  EXPECT_EQ(client.statusWords(), (std::array<std::uint16_t, 5>{1, 2, 3, 4, 15}));
  EXPECT_EQ(observer.notices(), (std::vector{ClientNotice::Status, ClientNotice::Status, ClientNotice::Closed}));
}

INSTANTIATE_TEST_SUITE_P(AcceptAlone, LiveStream, ::testing::Values(false));
INSTANTIATE_TEST_SUITE_P(AcceptInTheSameSegment, LiveStream, ::testing::Values(true));

TEST_F(DvrClientTest, KeysAndMergedMouseEventsGoOutWhileLoggedInAndStoppingSendsOneLogout) {
  SharedMouse mouse;
  client.setMouse(&mouse);
  client.setMouseMode(MouseRemoteMode::DisplayCursor);
  // Clicks from before the login are not the DVR's: only the press made once logged in goes out.
  for (int x = 1; x <= 9; ++x) {
    mouse.record({2, x, 30, 640, 448});
  }
  FakeServer dvr(acceptAndHold);
  EXPECT_FALSE(client.sendRemoteKey(22));
  // Far beyond the test's patience: the second mouse event must wake the thread, not its inactivity check.
  start(dvr, 60000);
  ASSERT_TRUE(marlin::testing::waitUntil([&] { return client.isLoggedIn(); }));
  mouse.record({1, 10, 20, 640, 448});
  const Bytes pressed = controlBytes(
      "0020008901010280"
      "01C0000A0014");
  const Bytes channel6 = controlBytes("001000850016");
  const Bytes released = controlBytes(
      "0020008901000280"
      "01C0000A0014");
  ASSERT_TRUE(marlin::testing::waitUntil([&] { return dvr.received(0).size() == 44 + pressed.size(); }));
  EXPECT_TRUE(client.sendRemoteKey(22));
  // Within the 250 ms after the first message: sent when that pause ends.
  mouse.record({0, 10, 20, 640, 448});
  ASSERT_TRUE(
      marlin::testing::waitUntil([&] { return dvr.received(0).size() >= 44 + pressed.size() * 2 + channel6.size(); }));
  EXPECT_TRUE(client.sendRemoteKey(300));
  client.stopConnection();
  EXPECT_FALSE(client.sendRemoteKey(1));
  EXPECT_FALSE(client.isLoggedIn());
  EXPECT_EQ(client.connectionState(), ConnectionState::Idle);

  const Bytes afterLogin =
      joined({pressed, channel6, released, controlBytes("00100085002C"), controlBytes("000C0086")});
  ASSERT_TRUE(marlin::testing::waitUntil([&] { return dvr.received(0).size() >= 44 + afterLogin.size(); }));
  const Bytes received = dvr.received(0);
  EXPECT_EQ(Bytes(received.begin() + 44, received.end()), afterLogin);
}

TEST_F(DvrClientTest, AButtonTheDvrHeldDownIsReleasedBeforeTheLogout) {
  SharedMouse mouse;
  client.setMouse(&mouse);
  FakeServer dvr(acceptAndHold);
  start(dvr, 60000);
  ASSERT_TRUE(marlin::testing::waitUntil([&] { return client.isLoggedIn(); }));
  // A right-click that opened a menu: the view never sees the release.
  mouse.record({2, 7, 8, 640, 448});
  const Bytes rightDown = controlBytes(
      "0020008900020280"
      "01C000070008");
  ASSERT_TRUE(marlin::testing::waitUntil([&] { return dvr.received(0).size() == 44 + rightDown.size(); }));
  client.stopConnection();

  const Bytes released = controlBytes(
      "0020008900000280"
      "01C000070008");
  const Bytes afterLogin = joined({rightDown, released, controlBytes("000C0086")});
  ASSERT_TRUE(marlin::testing::waitUntil([&] { return dvr.received(0).size() >= 44 + afterLogin.size(); }));
  const Bytes received = dvr.received(0);
  EXPECT_EQ(Bytes(received.begin() + 44, received.end()), afterLogin);
}

TEST_F(DvrClientTest, KeysForADvrThatReadsNothingNeverHoldTheCallerAndAreDroppedInTheEnd) {
  FakeServer dvr([](FakePeer& peer, int) {
    peer.read(44);
    peer.send(kAccept);
    peer.ignoreUntilStopped();
  });
  start(dvr, 60000);
  ASSERT_TRUE(marlin::testing::waitUntil([&] { return client.isLoggedIn(); }));
  // Keys until the socket's buffers are full and the connection thread gives
  // one up: megabytes of them, each handed over or refused at once.
  const auto deadline = std::chrono::steady_clock::now() + 120s;
  std::uint64_t handedOver = 0;
  while (client.remoteKeysDropped() == 0 && std::chrono::steady_clock::now() < deadline) {
    handedOver += client.sendRemoteKey(static_cast<int>(RemoteKey::Up)) ? 1 : 0;
    std::this_thread::yield();
  }
  ASSERT_GT(client.remoteKeysDropped(), 0u) << handedOver << " keys handed over";
  EXPECT_TRUE(client.isLoggedIn());
  // While the thread waits on the DVR, no more than the queue's worth of keys waits with it.
  int refused = 0;
  for (int i = 0; i < 100; ++i) {
    refused += client.sendRemoteKey(static_cast<int>(RemoteKey::Up)) ? 0 : 1;
  }
  EXPECT_GT(refused, 0);
  // Stopping does not wait for the DVR either: the logout is given up like a key.
  client.stopConnection();
  EXPECT_EQ(client.connectionState(), ConnectionState::Idle);
  EXPECT_FALSE(client.sendRemoteKey(static_cast<int>(RemoteKey::Up)));
}

TEST_F(DvrClientTest, APeerThatClosesIsLoggedInAgainWithoutSpinning) {
  FakeServer dvr([](FakePeer& peer, int connection) {
    if (connection == 0) {
      peer.read(44);
      peer.send(kAccept);
      return;
    }
    acceptAndHold(peer, connection);
  });
  start(dvr);
  ASSERT_TRUE(marlin::testing::waitUntil([&] { return client.reconnects() == 1 && client.isLoggedIn(); }));
  // The reconnect came after a second's pause; spinning on the closed socket would have used all of it.
  EXPECT_LT(observer.connectionThreadCpuSeconds(), 0.25);
  EXPECT_EQ(dvr.connections(), 2);
  EXPECT_TRUE(observer.notices().empty());
}

TEST_F(DvrClientTest, TheAddressServiceIsAskedOnceAndASilentDvrIsReconnected) {
  FakeServer dvr(acceptAndHold);
  FakeServer ddns([&](FakePeer& peer, int) {
    peer.read(12);
    peer.send({0x55, 0xAA, 0x55, 0xAA, 127, 0, 0, 1, static_cast<std::uint8_t>(dvr.port()),
               static_cast<std::uint8_t>(dvr.port() >> 8)});
    peer.holdUntilClosed();
  });
  ASSERT_TRUE(client.setDdnsLogin("127.0.0.1", ddns.port(), "DVR1", "secret").isOk());
  startWith(300);
  ASSERT_TRUE(marlin::testing::waitUntil([&] { return client.reconnects() >= 1 && client.isLoggedIn(); }));
  EXPECT_EQ(client.lastError(), "No response from server.");
  EXPECT_EQ(ddns.connections(), 1);
  EXPECT_EQ(ddns.received(0), (Bytes{0x55, 0xAA, 0x55, 0xAA, 'D', 'V', 'R', '1', 0, 0, 0, 0}));
  const std::vector<ConnectionState> states = observer.states();
  const std::vector<ConnectionState> firstStates(states.begin(), states.begin() + 6);
  EXPECT_EQ(firstStates,
            (std::vector{ConnectionState::ConnectingDdns, ConnectionState::QueryingDdns, ConnectionState::DdnsResolved,
                         ConnectionState::ConnectingDvr, ConnectionState::LoggingIn, ConnectionState::LoggedIn}));
  EXPECT_TRUE(observer.notices().empty());
}

// Without reconnecting, a lost connection ends as if the DVR had closed it:
// one Closed notice, idle, and no second connection.
void expectEndedWithoutReconnecting(const DvrClient& client, const RecordingObserver& observer, const FakeServer& dvr) {
  ASSERT_TRUE(marlin::testing::waitUntil([&] { return !observer.notices().empty(); }));
  EXPECT_EQ(observer.notices(), std::vector{ClientNotice::Closed});
  EXPECT_FALSE(client.isLoggedIn());
  // The thread ends instead of pausing before a reconnect, so every connection it made has come by then.
  ASSERT_TRUE(marlin::testing::waitUntil([&] { return !client.isRunning(); }));
  EXPECT_EQ(client.connectionState(), ConnectionState::Idle);
  EXPECT_EQ(dvr.connections(), 1);
  EXPECT_EQ(client.reconnects(), 0u);
  EXPECT_EQ(observer.states(), (std::vector{ConnectionState::ConnectingDvr, ConnectionState::LoggingIn,
                                            ConnectionState::LoggedIn, ConnectionState::Idle}));
  EXPECT_EQ(observer.notices(), std::vector{ClientNotice::Closed});
}

TEST_F(DvrClientTest, WithoutAutoReconnectASilentDvrEndsTheConnection) {
  EXPECT_TRUE(client.autoReconnect());
  client.setAutoReconnect(false);
  FakeServer dvr(acceptAndHold);
  start(dvr, 300);
  expectEndedWithoutReconnecting(client, observer, dvr);
  EXPECT_EQ(client.lastError(), "No response from server.");
}

TEST_F(DvrClientTest, WithoutAutoReconnectAPeerThatClosesEndsTheConnection) {
  client.setAutoReconnect(false);
  FakeServer dvr([](FakePeer& peer, int connection) {
    if (connection == 0) {
      peer.read(44);
      peer.send(kAccept);
      return;
    }
    acceptAndHold(peer, connection);
  });
  start(dvr);
  expectEndedWithoutReconnecting(client, observer, dvr);
  // Stopping the ended connection sends nothing more.
  client.stopConnection();
  EXPECT_EQ(dvr.received(0).size(), 44u);
}

std::uint16_t portNobodyListensOn() {
  TcpListener closed;
  EXPECT_TRUE(closed.listenOnLoopback(0).isOk());
  return closed.port();
}

TEST_F(DvrClientTest, ADvrThatRefusesTheFirstConnectEndsTheConnectionWithTheSystemsReason) {
  ASSERT_TRUE(client.setDirectLogin("127.0.0.1", portNobodyListensOn(), "secret").isOk());
  // Far beyond the test's patience: the end must come from the refusal, not from the timeout.
  startWith(60000);
  ASSERT_TRUE(marlin::testing::waitUntil([&] { return !client.isRunning(); }));
  EXPECT_NE(client.lastError().find(std::strerror(ECONNREFUSED)), std::string::npos) << client.lastError();
  EXPECT_EQ(observer.notices(), std::vector{ClientNotice::NoResponse});
  EXPECT_EQ(observer.states(), (std::vector{ConnectionState::ConnectingDvr, ConnectionState::Idle}));
}

TEST_F(DvrClientTest, ADvrThatWentAwayAfterALoginIsRetriedWithPausesUntilItListensAgain) {
  std::optional<FakeServer> first(std::in_place, acceptAndHold);
  const std::uint16_t port = first->port();
  start(*first, 60000);
  ASSERT_TRUE(marlin::testing::waitUntil([&] { return client.isLoggedIn(); }));
  first.reset();
  ASSERT_TRUE(marlin::testing::waitUntil(
      [&] { return client.lastError().find(std::strerror(ECONNREFUSED)) != std::string::npos; }));
  EXPECT_TRUE(client.isRunning());
  EXPECT_FALSE(client.isLoggedIn());

  FakeServer again(acceptAndHold, port);
  ASSERT_TRUE(marlin::testing::waitUntil([&] { return client.isLoggedIn(); }));
  EXPECT_EQ(client.reconnects(), 1u);
  // The first retry comes a second after the first refusal, so only a few connects were tried in between.
  EXPECT_LE(RecordingObserver::count(observer.states(), ConnectionState::ConnectingDvr), 4);
  EXPECT_TRUE(observer.notices().empty());
}

}  // namespace
}  // namespace marlin::net
