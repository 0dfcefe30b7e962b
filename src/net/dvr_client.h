#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/status.h"
#include "net/client_observer.h"
#include "net/ddns_messages.h"
#include "net/mouse_sender.h"
#include "net/remote_key_queue.h"
#include "net/stream_parser.h"
#include "platform/frame_queue.h"
#include "platform/shared_mouse.h"
#include "platform/wake_signal.h"
#include "platform/worker_thread.h"

namespace marlin::net {

// Queue sizes of the live stream's hand-over to the engine.
inline constexpr std::uint32_t kVideoQueueBlocks = 16;
inline constexpr std::uint32_t kAudioQueueBlocks = 16;

// The one connection a viewer holds with a DVR, on its own thread: connect
// (directly, or after asking the dynamic-address service for the DVR's
// address), log in with the password's digest, cut the live stream into the
// video and audio queues, send the view's mouse events, and reconnect after
// a silent or lost connection for as long as it is not stopped (unless
// reconnecting is switched off). Stopping a logged-in connection sends one
// logout.
//
// Before the first login, a connect the system refuses or cannot route
// ends the connection at once (notice NoResponse, lastError the system's
// reason). Other failed connects, and all of them once a login has
// happened, are retried after a pause that starts at one second and
// doubles up to eight; the no-response notice comes each time the timeout
// passes without a login. A refused or unanswered login, or a failed
// lookup, ends the connection (notice LoginFailed).
//
// Set-up (the set*Login operations, setObserver, setMouse) only while no
// connection runs; everything else from any thread.
class DvrClient : public WorkerThread {
 public:
  DvrClient();
  ~DvrClient() override;

  // Where the connection goes. The texts are UTF-8; address is dotted IPv4.
  // Fails, and leaves the previous set-up, for a password longer than 31
  // bytes or a DVR name longer than 8 bytes in the DVR's code page
  // (Windows-1252), or with characters that code page cannot hold.
  Status setDirectLogin(const std::string& address, std::uint16_t port, const std::string& password);
  Status setDdnsLogin(const std::string& ddnsAddress, std::uint16_t ddnsPort, const std::string& dvrName,
                      const std::string& password);

  // 1 when the connection thread started; 0 while one exists.
  int startConnection();
  // Ends the connection (one logout if logged in) and waits for the thread.
  void stopConnection();

  // Hands the key message for value (its low 8 bits) to the connection
  // thread, which sends it at once; never waits for the DVR. False when not
  // logged in or when RemoteKeyQueue::kCapacity keys wait already. A key the
  // DVR does not take within kSendLimit is dropped (remoteKeysDropped).
  bool sendRemoteKey(int value);
  // How long the connection thread waits for the DVR to take one message
  // (the login, a key, a mouse event, the logout).
  static constexpr std::chrono::milliseconds kSendLimit{200};

  bool isLoggedIn() const { return loggedIn_.load(); }
  ConnectionState connectionState() const { return state_.load(); }
  std::string lastError() const;
  void setTimeoutMs(std::uint32_t ms) { timeoutMs_ = ms; }
  // Off: a logged-in connection that is lost (silent for the timeout, or
  // closed by the DVR) ends with notice Closed instead of logging in again.
  void setAutoReconnect(bool on) { autoReconnect_ = on; }
  bool autoReconnect() const { return autoReconnect_.load(); }
  std::uint32_t timeoutMs() const { return timeoutMs_.load(); }
  // The DVR's last status report (five words).
  std::array<std::uint16_t, 5> statusWords() const;

  void setObserver(ClientObserver* observer) { observer_ = observer; }
  // The view's mouse, sent while logged in; null for none.
  void setMouse(SharedMouse* mouse);
  void setMouseMode(MouseRemoteMode mode);

  FrameQueue& videoQueue() { return videoQueue_; }
  FrameQueue& audioQueue() { return audioQueue_; }

  // Counters since construction.
  std::uint64_t videoDropped() const { return videoDropped_.load(); }
  std::uint64_t audioDropped() const { return audioDropped_.load(); }
  // Logins after the first, once a connection was lost.
  std::uint64_t reconnects() const { return reconnects_.load(); }
  // Keys sendRemoteKey took that never reached the DVR: it took nothing for
  // kSendLimit, or the connection ended first.
  std::uint64_t remoteKeysDropped() const { return remoteKeysDropped_.load(); }

 protected:
  int run() override;

 private:
  class QueueSink;
  class Connection;

  // Where a connection goes and what it sends to get there, fixed while it runs.
  struct Target {
    bool useDdns = false;
    std::uint32_t dvrAddress = 0;
    std::uint16_t dvrPort = 0;
    std::uint32_t ddnsAddress = 0;
    std::uint16_t ddnsPort = 0;
    std::array<std::uint8_t, kDdnsQueryBytes> ddnsQuery{};
    std::vector<std::uint8_t> loginMessage;
  };

  // Observer calls, on the connection thread; a state is told only when it changes.
  void changeState(ConnectionState state);
  void tell(ClientNotice notice);
  void setLastError(std::string text);
  void storeStatusWords(std::size_t first, const std::uint16_t* words, std::size_t count);
  void dropRemoteKeys(std::size_t count, const std::string& reason);

  std::atomic<bool> loggedIn_{false};
  std::atomic<ConnectionState> state_{ConnectionState::Idle};
  std::atomic<std::uint32_t> timeoutMs_{5000};
  std::atomic<bool> autoReconnect_{true};
  std::atomic<std::uint64_t> videoDropped_{0};
  std::atomic<std::uint64_t> audioDropped_{0};
  std::atomic<std::uint64_t> reconnects_{0};
  std::atomic<std::uint64_t> remoteKeysDropped_{0};
  std::atomic<MouseRemoteMode> mouseMode_{MouseRemoteMode::HiddenCursor};
  ClientObserver* observer_ = nullptr;
  SharedMouse* mouse_ = nullptr;
  Target target_;
  FrameQueue videoQueue_{"live video"};
  FrameQueue audioQueue_{"live audio"};
  WakeSignal wake_;
  mutable std::mutex reportLock_;
  std::string lastError_;
  std::array<std::uint16_t, 5> statusWords_{};
  RemoteKeyQueue remoteKeys_;
  // The parser's state carries over from one connection to the next, so it lives as long as the client.
  std::unique_ptr<QueueSink> sink_;
  StreamParser parser_;
};

}  // namespace marlin::net
