#include "support/fake_server.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>

namespace marlin::testing {

using namespace std::chrono_literals;

std::vector<std::uint8_t> FakePeer::readFor(std::size_t n, std::chrono::milliseconds patience) {
  std::vector<std::uint8_t> bytes;
  std::uint8_t piece[4096];
  while (bytes.size() < n && socket_.waitReadable(patience, &stop_) == SocketReady::Readable) {
    const TcpSocket::Received got = socket_.receive(piece, std::min(sizeof piece, n - bytes.size()));
    if (!got.status || got.bytes == 0) {
      break;
    }
    bytes.insert(bytes.end(), piece, piece + got.bytes);
    std::lock_guard guard(lock_);
    log_.insert(log_.end(), piece, piece + got.bytes);
  }
  return bytes;
}

void FakePeer::send(const std::vector<std::uint8_t>& bytes) {
  EXPECT_TRUE(socket_.sendAll(bytes.data(), bytes.size()).isOk());
}

void FakePeer::ignoreUntilStopped() {
  pollfd stop{stop_.fd(), POLLIN, 0};
  while (::poll(&stop, 1, -1) < 0 && errno == EINTR) {
  }
}

void FakePeer::sendAtOnce() {
  const int on = 1;
  EXPECT_EQ(::setsockopt(socket_.fd(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on), 0);
}

FakeServer::FakeServer(Script script, std::uint16_t port) : script_(std::move(script)) {
  EXPECT_TRUE(listener_.listenOnLoopback(port).isOk());
  thread_ = std::thread([this] { serve(); });
}

FakeServer::~FakeServer() {
  stop_.poke();
  thread_.join();
}

void FakeServer::serve() {
  for (int connection = 0;; ++connection) {
    TcpSocket socket;
    if (!listener_.accept(std::chrono::milliseconds(-1), &stop_, socket)) {
      return;
    }
    {
      std::lock_guard guard(lock_);
      logs_.emplace_back();
    }
    FakePeer peer(socket, stop_, logs_.back(), lock_);
    script_(peer, connection);
  }
}

int FakeServer::connections() const {
  std::lock_guard guard(lock_);
  return static_cast<int>(logs_.size());
}

std::vector<std::uint8_t> FakeServer::received(int connection) const {
  std::lock_guard guard(lock_);
  const auto index = static_cast<std::size_t>(connection);
  return index < logs_.size() ? logs_[index] : std::vector<std::uint8_t>();
}

}  // namespace marlin::testing
