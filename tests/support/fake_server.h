#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/tcp_socket.h"
#include "platform/wake_signal.h"

namespace marlin::testing {

// One accepted connection as a script sees it. Every byte read is kept in the server's log of the connection.
class FakePeer {
 public:
  FakePeer(TcpSocket& socket, const WakeSignal& stop, std::vector<std::uint8_t>& log, std::mutex& lock)
      : socket_(socket), stop_(stop), log_(log), lock_(lock) {}

  // Up to n bytes, fewer when the client closes, the server stops or nothing comes for a few seconds.
  std::vector<std::uint8_t> read(std::size_t n) { return readFor(n, std::chrono::milliseconds(5000)); }
  void send(const std::vector<std::uint8_t>& bytes);
  // From now on every send goes out at once (TCP_NODELAY), instead of a send shorter than a segment waiting
  // until the client has acknowledged the one before, which a client that delays its acknowledgements
  // answers only after tens of milliseconds.
  void sendAtOnce();
  // Reads until the client closes the connection or the server stops.
  void holdUntilClosed() { readFor(SIZE_MAX, std::chrono::milliseconds(-1)); }
  // Reads nothing more until the server stops: a peer whose buffers fill up.
  void ignoreUntilStopped();

 private:
  std::vector<std::uint8_t> readFor(std::size_t n, std::chrono::milliseconds patience);

  TcpSocket& socket_;
  const WakeSignal& stop_;
  std::vector<std::uint8_t>& log_;
  std::mutex& lock_;
};

// A server on 127.0.0.1 that runs a script for each connection it accepts, one at a time, on its own thread:
// the stand-in for a DVR or the address service in the client's tests.
class FakeServer {
 public:
  // The script gets the connection's number, counted from 0.
  using Script = std::function<void(FakePeer& peer, int connection)>;

  // port 0 picks a free one.
  explicit FakeServer(Script script, std::uint16_t port = 0);
  ~FakeServer();

  std::uint16_t port() const { return listener_.port(); }
  int connections() const;
  // What the client sent on one connection; nothing while that connection has not come.
  std::vector<std::uint8_t> received(int connection) const;

 private:
  void serve();

  Script script_;
  TcpListener listener_;
  WakeSignal stop_;
  mutable std::mutex lock_;
  std::vector<std::vector<std::uint8_t>> logs_;
  std::thread thread_;
};

}  // namespace marlin::testing
