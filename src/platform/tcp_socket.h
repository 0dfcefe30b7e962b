#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "base/status.h"
#include "platform/wake_signal.h"

namespace marlin {

// An IPv4 address in host order, from dotted text ("192.168.1.2") or a host
// name looked up through the system's resolver. nullopt when neither works.
std::optional<std::uint32_t> resolveIpv4(const std::string& host);
// "a.b.c.d", first byte (the most significant of the host-order value) first.
std::string dottedIpv4(std::uint32_t address);

// What a wait on a socket ended with.
enum class SocketReady { Readable, Writable, Woken, TimedOut, Failed };

// One TCP/IPv4 connection, owned: closed when destroyed. Sends and receives
// never raise SIGPIPE. Not to be shared between threads.
class TcpSocket {
 public:
  TcpSocket() = default;
  explicit TcpSocket(int fd) : fd_(fd) {}
  ~TcpSocket();
  TcpSocket(TcpSocket&& other) noexcept;
  TcpSocket& operator=(TcpSocket&& other) noexcept;
  TcpSocket(const TcpSocket&) = delete;
  TcpSocket& operator=(const TcpSocket&) = delete;

  // Connects to address:port (host order) without blocking longer than
  // limit, returning early, with a failure, when wake is poked. A connect
  // only succeeds when the system reports no error on the socket (SO_ERROR
  // 0); a timeout is a failure with StatusCode::Busy. On success the socket
  // is back in blocking mode.
  static Status connect(std::uint32_t address, std::uint16_t port, std::chrono::milliseconds limit,
                        const WakeSignal* wake, TcpSocket& out);

  bool isOpen() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  // Shuts both directions down and closes; harmless when closed.
  void close();
  // Tells the peer that nothing more will be sent (after what was sent),
  // while receiving goes on.
  void shutdownSending();

  // TCP_NODELAY, SO_KEEPALIVE, and SO_LINGER of one second.
  Status setQuickCloseOptions();
  // TCP_NODELAY alone: every send leaves at once, never held back to be
  // merged with the next (a server whose writes must reach the peer as made).
  Status setNoDelay();
  // "a.b.c.d:port" of the other end; empty when the system cannot tell.
  std::string peerName() const;

  // Acknowledges what arrives at once rather than after the usual delay, so
  // that a peer which holds a short send back until its last one is
  // acknowledged (Nagle's rule) does not stall for that delay. The system
  // drops back to delaying by itself, so a receiver asks again after each
  // receive.
  Status acknowledgeAtOnce();

  // Sends all n bytes, or fails with the system's reason.
  Status sendAll(const std::uint8_t* data, std::size_t n);
  // Sends all n bytes unless the peer stops taking them for limit (negative:
  // without limit) or wake (may be null) is poked. When nothing went, the
  // failure is Busy, so the bytes can be dropped whole; when the wait ends
  // partway through, it is IoError: the peer got the start of the bytes only.
  Status sendWithin(const std::uint8_t* data, std::size_t n, std::chrono::milliseconds limit, const WakeSignal* wake);
  // Bytes received (1..capacity), 0 when the peer closed, or a failure.
  struct Received {
    std::size_t bytes = 0;
    Status status;
  };
  Received receive(std::uint8_t* buffer, std::size_t capacity);

  // Waits up to limit (negative: without limit) for the socket to become
  // readable or for wake (may be null) to be poked. Readable wins over
  // Woken when both hold.
  SocketReady waitReadable(std::chrono::milliseconds limit, const WakeSignal* wake) const;

 private:
  int fd_ = -1;
};

// A listening TCP socket on 127.0.0.1, for the DVR simulator and for tests.
class TcpListener {
 public:
  TcpListener() = default;
  ~TcpListener();
  TcpListener(const TcpListener&) = delete;
  TcpListener& operator=(const TcpListener&) = delete;

  // port 0 picks a free port; port() then tells which.
  Status listenOnLoopback(std::uint16_t port);
  std::uint16_t port() const { return port_; }
  // Waits up to limit (negative: without limit) for a connection, or until
  // wake is poked (a failure with StatusCode::Busy on timeout or wake).
  Status accept(std::chrono::milliseconds limit, const WakeSignal* wake, TcpSocket& out);
  void close();

 private:
  int fd_ = -1;
  std::uint16_t port_ = 0;
};

}  // namespace marlin
