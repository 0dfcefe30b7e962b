#include "platform/tcp_socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <utility>

#include "platform/poll_wait.h"

namespace marlin {

namespace {

using Clock = std::chrono::steady_clock;

std::string endpointText(std::uint32_t address, std::uint16_t port) {
  return dottedIpv4(address) + ":" + std::to_string(port);
}

sockaddr_in socketAddress(std::uint32_t address, std::uint16_t port) {
  sockaddr_in where{};
  where.sin_family = AF_INET;
  where.sin_addr.s_addr = htonl(address);
  where.sin_port = htons(port);
  return where;
}

Status setBlocking(int fd, bool blocking) {
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, blocking ? flags & ~O_NONBLOCK : flags | O_NONBLOCK) != 0) {
    return Status::fromErrno(errno, "cannot change the socket's blocking mode");
  }
  return Status::ok();
}

Status setIntOption(int fd, int level, int name, int value, std::string_view what) {
  if (::setsockopt(fd, level, name, &value, sizeof value) != 0) {
    return Status::fromErrno(errno, what);
  }
  return Status::ok();
}

void closeDescriptor(int& fd) {
  if (fd >= 0) {
    ::close(fd);
    fd = -1;
  }
}

// How a wait that ended without the socket ready fails.
Status notReady(PollOutcome outcome, const std::string& what) {
  switch (outcome) {
    case PollOutcome::Woken:
      return Status::failure(StatusCode::Busy, what + ": interrupted");
    case PollOutcome::TimedOut:
      return Status::failure(StatusCode::Busy, what + ": " + std::strerror(ETIMEDOUT), ETIMEDOUT);
    default:
      return Status::fromErrno(errno, what);
  }
}

}  // namespace

std::optional<std::uint32_t> resolveIpv4(const std::string& host) {
  in_addr parsed{};
  if (::inet_pton(AF_INET, host.c_str(), &parsed) == 1) {
    return ntohl(parsed.s_addr);
  }
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) {
    return std::nullopt;
  }
  const auto* address = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
  const std::uint32_t result = ntohl(address->sin_addr.s_addr);
  ::freeaddrinfo(found);
  return result;
}

std::string dottedIpv4(std::uint32_t address) {
  return std::to_string(address >> 24) + "." + std::to_string((address >> 16) & 0xFF) + "." +
         std::to_string((address >> 8) & 0xFF) + "." + std::to_string(address & 0xFF);
}

TcpSocket::~TcpSocket() { close(); }

TcpSocket::TcpSocket(TcpSocket&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

TcpSocket& TcpSocket::operator=(TcpSocket&& other) noexcept {
  if (this != &other) {
    close();
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

Status TcpSocket::connect(std::uint32_t address, std::uint16_t port, std::chrono::milliseconds limit,
                          const WakeSignal* wake, TcpSocket& out) {
  out.close();
  const std::string what = "cannot connect to " + endpointText(address, port);
  TcpSocket socket(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (!socket.isOpen()) {
    return Status::fromErrno(errno, what);
  }
  const sockaddr_in where = socketAddress(address, port);
  // A non-blocking connect interrupted by a signal goes on in the background, like one in progress.
  if (::connect(socket.fd_, reinterpret_cast<const sockaddr*>(&where), sizeof where) != 0 && errno != EINPROGRESS &&
      errno != EINTR) {
    return Status::fromErrno(errno, what);
  }
  const PollOutcome outcome = waitForEvents(socket.fd_, POLLOUT, limit, wake);
  if (outcome != PollOutcome::Ready) {
    return notReady(outcome, what);
  }
  // Writable only says the attempt ended; whether it ended in a connection is in SO_ERROR.
  int error = 0;
  socklen_t size = sizeof error;
  if (::getsockopt(socket.fd_, SOL_SOCKET, SO_ERROR, &error, &size) != 0) {
    return Status::fromErrno(errno, what);
  }
  if (error != 0) {
    return Status::fromErrno(error, what);
  }
  if (Status status = setBlocking(socket.fd_, true); !status) {
    return status;
  }
  out = std::move(socket);
  return Status::ok();
}

void TcpSocket::close() {
  if (fd_ >= 0) {
    ::shutdown(fd_, SHUT_RDWR);
    closeDescriptor(fd_);
  }
}

void TcpSocket::shutdownSending() {
  if (fd_ >= 0) {
    ::shutdown(fd_, SHUT_WR);
  }
}

Status TcpSocket::setQuickCloseOptions() {
  const linger lingerOneSecond{1, 1};
  if (::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &lingerOneSecond, sizeof lingerOneSecond) != 0) {
    return Status::fromErrno(errno, "cannot set SO_LINGER");
  }
  if (Status status = setNoDelay(); !status) {
    return status;
  }
  return setIntOption(fd_, SOL_SOCKET, SO_KEEPALIVE, 1, "cannot set SO_KEEPALIVE");
}

Status TcpSocket::setNoDelay() { return setIntOption(fd_, IPPROTO_TCP, TCP_NODELAY, 1, "cannot set TCP_NODELAY"); }

std::string TcpSocket::peerName() const {
  sockaddr_in peer{};
  socklen_t size = sizeof peer;
  if (::getpeername(fd_, reinterpret_cast<sockaddr*>(&peer), &size) != 0 || peer.sin_family != AF_INET) {
    return {};
  }
  return endpointText(ntohl(peer.sin_addr.s_addr), ntohs(peer.sin_port));
}

Status TcpSocket::acknowledgeAtOnce() {
  return setIntOption(fd_, IPPROTO_TCP, TCP_QUICKACK, 1, "cannot set TCP_QUICKACK");
}

Status TcpSocket::sendAll(const std::uint8_t* data, std::size_t n) {
  return sendWithin(data, n, std::chrono::milliseconds(-1), nullptr);
}

Status TcpSocket::sendWithin(const std::uint8_t* data, std::size_t n, std::chrono::milliseconds limit,
                             const WakeSignal* wake) {
  const bool unlimited = limit.count() < 0;
  const Clock::time_point deadline = Clock::now() + (unlimited ? std::chrono::milliseconds(0) : limit);
  std::size_t sent = 0;
  while (sent < n) {
    const ssize_t part = ::send(fd_, data + sent, n - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (part >= 0) {
      sent += static_cast<std::size_t>(part);
      continue;
    }
    if (errno == EINTR) {
      continue;
    }
    if (errno != EAGAIN && errno != EWOULDBLOCK) {
      return Status::fromErrno(errno, "send failed");
    }
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    const PollOutcome outcome =
        waitForEvents(fd_, POLLOUT, unlimited ? limit : std::max(left, std::chrono::milliseconds(0)), wake);
    if (outcome == PollOutcome::Ready) {
      continue;
    }
    const Status stopped = notReady(outcome, "send failed");
    if (sent == 0) {
      return stopped;
    }
    return Status::failure(StatusCode::IoError,
                           stopped.message() + " after " + std::to_string(sent) + " of " + std::to_string(n) + " bytes",
                           stopped.systemError());
  }
  return Status::ok();
}

TcpSocket::Received TcpSocket::receive(std::uint8_t* buffer, std::size_t capacity) {
  for (;;) {
    const ssize_t got = ::recv(fd_, buffer, capacity, 0);
    if (got >= 0) {
      return {static_cast<std::size_t>(got), Status::ok()};
    }
    if (errno != EINTR) {
      return {0, Status::fromErrno(errno, "receive failed")};
    }
  }
}

SocketReady TcpSocket::waitReadable(std::chrono::milliseconds limit, const WakeSignal* wake) const {
  switch (waitForEvents(fd_, POLLIN, limit, wake)) {
    case PollOutcome::Ready:
      return SocketReady::Readable;
    case PollOutcome::Woken:
      return SocketReady::Woken;
    case PollOutcome::TimedOut:
      return SocketReady::TimedOut;
    default:
      return SocketReady::Failed;
  }
}

TcpListener::~TcpListener() { close(); }

Status TcpListener::listenOnLoopback(std::uint16_t port) {
  close();
  const std::string what = "cannot listen on " + endpointText(INADDR_LOOPBACK, port);
  // Non-blocking, so an accept after a wait cannot hang on a connection the peer has already dropped.
  fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd_ < 0) {
    return Status::fromErrno(errno, what);
  }
  sockaddr_in where = socketAddress(INADDR_LOOPBACK, port);
  socklen_t size = sizeof where;
  if (Status status = setIntOption(fd_, SOL_SOCKET, SO_REUSEADDR, 1, what); !status) {
    close();
    return status;
  }
  if (::bind(fd_, reinterpret_cast<const sockaddr*>(&where), size) != 0 || ::listen(fd_, SOMAXCONN) != 0 ||
      ::getsockname(fd_, reinterpret_cast<sockaddr*>(&where), &size) != 0) {
    const int error = errno;
    close();
    return Status::fromErrno(error, what);
  }
  port_ = ntohs(where.sin_port);
  return Status::ok();
}

Status TcpListener::accept(std::chrono::milliseconds limit, const WakeSignal* wake, TcpSocket& out) {
  out.close();
  const std::string what = "no connection on port " + std::to_string(port_);
  const bool unlimited = limit.count() < 0;
  const Clock::time_point deadline = Clock::now() + limit;
  for (;;) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    const auto wait = unlimited ? limit : std::max(left, std::chrono::milliseconds(0));
    const PollOutcome outcome = waitForEvents(fd_, POLLIN, wait, wake);
    if (outcome != PollOutcome::Ready) {
      return notReady(outcome, what);
    }
    // Accepted sockets block, whatever the listener's mode.
    const int fd = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd >= 0) {
      out = TcpSocket(fd);
      return Status::ok();
    }
    if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR && errno != ECONNABORTED) {
      return Status::fromErrno(errno, what);
    }
  }
}

void TcpListener::close() {
  closeDescriptor(fd_);
  port_ = 0;
}

}  // namespace marlin
