#include "platform/tcp_socket.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>
#include <vector>

namespace marlin {
namespace {

using namespace std::chrono_literals;

constexpr std::uint32_t kLoopback = 0x7F000001;

// A connected pair over loopback: what the client sends, the server receives, and back.
struct SocketPair {
  SocketPair() {
    EXPECT_TRUE(listener.listenOnLoopback(0).isOk());
    EXPECT_TRUE(TcpSocket::connect(kLoopback, listener.port(), 2000ms, nullptr, client).isOk());
    EXPECT_TRUE(listener.accept(2000ms, nullptr, server).isOk());
  }
  TcpListener listener;
  TcpSocket client;
  TcpSocket server;
};

std::vector<std::uint8_t> receiveAll(TcpSocket& socket, std::size_t n) {
  std::vector<std::uint8_t> bytes(n);
  std::size_t have = 0;
  while (have < n) {
    const TcpSocket::Received got = socket.receive(bytes.data() + have, n - have);
    if (!got.status || got.bytes == 0) {
      break;
    }
    have += got.bytes;
  }
  bytes.resize(have);
  return bytes;
}

TEST(Ipv4Address, DottedTextAndLocalNamesResolveAndPrintBack) {
  EXPECT_EQ(resolveIpv4("192.168.1.2"), 0xC0A80102u);
  EXPECT_EQ(resolveIpv4("localhost"), kLoopback);
  EXPECT_EQ(dottedIpv4(0xC0A80102u), "192.168.1.2");
  EXPECT_EQ(dottedIpv4(0xFF00FF01u), "255.0.255.1");
}

TEST(TcpSocket, PeerNameIsTheOtherEndsAddressAndPort) {
  SocketPair pair;
  EXPECT_EQ(pair.client.peerName(), "127.0.0.1:" + std::to_string(pair.listener.port()));
  EXPECT_EQ(pair.server.peerName().rfind("127.0.0.1:", 0), 0u) << pair.server.peerName();
  EXPECT_EQ(TcpSocket().peerName(), "");
}

TEST(TcpSocket, ConnectToAClosedPortFailsWithTheSystemsReason) {
  std::uint16_t closedPort = 0;
  {
    TcpListener listener;
    ASSERT_TRUE(listener.listenOnLoopback(0).isOk());
    closedPort = listener.port();
  }
  TcpSocket socket;
  const Status status = TcpSocket::connect(kLoopback, closedPort, 2000ms, nullptr, socket);
  EXPECT_FALSE(status.isOk());
  EXPECT_EQ(status.systemError(), ECONNREFUSED);
  EXPECT_NE(status.message().find(std::strerror(ECONNREFUSED)), std::string::npos) << status.message();
  EXPECT_FALSE(socket.isOpen());
}

TEST(TcpSocket, BytesGoBothWaysAndAClosedPeerReadsAsZeroBytes) {
  SocketPair pair;
  ASSERT_TRUE(pair.server.isOpen());
  EXPECT_EQ(pair.server.waitReadable(0ms, nullptr), SocketReady::TimedOut);

  // More than the socket buffers hold, so sendAll has to go round while the peer reads.
  std::vector<std::uint8_t> large(8 << 20);
  for (std::size_t i = 0; i < large.size(); ++i) {
    large[i] = static_cast<std::uint8_t>(i * 7 + (i >> 12));
  }
  std::vector<std::uint8_t> received;
  std::thread reader([&] { received = receiveAll(pair.server, large.size()); });
  EXPECT_TRUE(pair.client.sendAll(large.data(), large.size()).isOk());
  reader.join();
  EXPECT_TRUE(received == large);

  const std::uint8_t reply[] = {1, 2, 3};
  ASSERT_TRUE(pair.server.sendAll(reply, sizeof reply).isOk());
  EXPECT_EQ(pair.client.waitReadable(2000ms, nullptr), SocketReady::Readable);
  EXPECT_EQ(receiveAll(pair.client, 3), std::vector<std::uint8_t>(reply, reply + 3));

  pair.server.close();
  EXPECT_FALSE(pair.server.isOpen());
  EXPECT_EQ(pair.client.waitReadable(2000ms, nullptr), SocketReady::Readable);
  std::uint8_t byte = 0;
  const TcpSocket::Received end = pair.client.receive(&byte, 1);
  EXPECT_TRUE(end.status.isOk());
  EXPECT_EQ(end.bytes, 0u);
}

TEST(TcpSocket, SendingToAClosedPeerFailsWithoutRaisingSigpipe) {
  SocketPair pair;
  pair.server.close();
  const std::vector<std::uint8_t> bytes(1 << 16, 0x55);
  Status status;
  // The first send may still be taken by the kernel; a later one meets the reset.
  for (int i = 0; i < 100 && status.isOk(); ++i) {
    status = pair.client.sendAll(bytes.data(), bytes.size());
  }
  EXPECT_FALSE(status.isOk());
  EXPECT_TRUE(status.systemError() == EPIPE || status.systemError() == ECONNRESET) << status.message();
}

TEST(TcpSocket, WaitsEndOnAPokeButDataWins) {
  SocketPair pair;
  WakeSignal wake;
  std::thread poker([&] {
    std::this_thread::sleep_for(20ms);
    wake.poke();
  });
  // Without the poke this would wait for the whole minute and report a timeout.
  EXPECT_EQ(pair.client.waitReadable(60000ms, &wake), SocketReady::Woken);
  poker.join();
  EXPECT_EQ(pair.client.waitReadable(0ms, &wake), SocketReady::Woken);
  wake.drain();
  EXPECT_EQ(pair.client.waitReadable(0ms, &wake), SocketReady::TimedOut);

  const std::uint8_t byte = 9;
  ASSERT_TRUE(pair.server.sendAll(&byte, 1).isOk());
  wake.poke();
  EXPECT_EQ(pair.client.waitReadable(2000ms, &wake), SocketReady::Readable);
}

TEST(TcpListener, AcceptEndsOnItsLimitOrAPoke) {
  TcpListener listener;
  ASSERT_TRUE(listener.listenOnLoopback(0).isOk());
  EXPECT_NE(listener.port(), 0);
  TcpSocket accepted;
  const Status timedOut = listener.accept(30ms, nullptr, accepted);
  EXPECT_EQ(timedOut.code(), StatusCode::Busy);
  EXPECT_EQ(timedOut.systemError(), ETIMEDOUT);

  WakeSignal wake;
  wake.poke();
  const Status woken = listener.accept(60000ms, &wake, accepted);
  EXPECT_EQ(woken.code(), StatusCode::Busy);
  EXPECT_EQ(woken.systemError(), 0);
  EXPECT_FALSE(accepted.isOpen());
}

// A listener that never accepts and takes no more connections, so that connects to it hang until their limit.
class FullListener {
 public:
  FullListener() {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_addr.s_addr = htonl(kLoopback);
    socklen_t size = sizeof where;
    EXPECT_EQ(::bind(fd_, reinterpret_cast<sockaddr*>(&where), size), 0);
    EXPECT_EQ(::listen(fd_, 0), 0);
    EXPECT_EQ(::getsockname(fd_, reinterpret_cast<sockaddr*>(&where), &size), 0);
    port_ = ntohs(where.sin_port);
  }
  ~FullListener() { ::close(fd_); }

  std::uint16_t port() const { return port_; }
  // Connects until one hangs; that one's failure.
  Status fill() {
    for (int i = 0; i < 8; ++i) {
      TcpSocket socket;
      const Status status = TcpSocket::connect(kLoopback, port_, 200ms, nullptr, socket);
      if (!status) {
        return status;
      }
      held_.push_back(std::move(socket));
    }
    return Status::ok();
  }

 private:
  int fd_ = -1;
  std::uint16_t port_ = 0;
  std::vector<TcpSocket> held_;
};

TEST(TcpSocket, AConnectThatHangsEndsAtItsLimitOrOnAPoke) {
  FullListener listener;
  const Status timedOut = listener.fill();
  ASSERT_FALSE(timedOut.isOk()) << "the listen queue never filled";
  EXPECT_EQ(timedOut.code(), StatusCode::Busy);
  EXPECT_EQ(timedOut.systemError(), ETIMEDOUT);

  WakeSignal wake;
  wake.poke();
  TcpSocket socket;
  const Status woken = TcpSocket::connect(kLoopback, listener.port(), 60000ms, &wake, socket);
  EXPECT_EQ(woken.code(), StatusCode::Busy);
  EXPECT_EQ(woken.systemError(), 0);
  EXPECT_FALSE(socket.isOpen());
}

}  // namespace
}  // namespace marlin
