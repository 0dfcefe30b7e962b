#pragma once

#include <atomic>
#include <cstddef>
#include <exception>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

#include "app/cli/serve_dvr/dvr_session.h"
#include "platform/tcp_socket.h"
#include "platform/wake_signal.h"

namespace marlin::cli::serve_dvr {

// The clients the DVR serves at once, each on a thread of its own, so that
// one that is silent, slow or never reads holds no other up. Driven from one
// thread (the one accepting connections).
class ClientSessions {
 public:
  // A DVR's places for clients; more connections wait to be accepted.
  static constexpr std::size_t kMaxClients = 8;

  // stop is the context's: stopAll pokes it, ending sends under way. ended
  // is poked whenever a session ends.
  ClientSessions(DvrContext& dvr, WakeSignal& stop, WakeSignal& ended);
  // Stops every session and waits for them.
  ~ClientSessions();
  ClientSessions(const ClientSessions&) = delete;
  ClientSessions& operator=(const ClientSessions&) = delete;

  void start(TcpSocket socket);
  // Waits for the sessions that have ended; how many go on.
  std::size_t reap();
  // Throws again what a session threw (a sent copy that cannot be written).
  void rethrowFailure();
  void stopAll();

 private:
  struct Running {
    TcpSocket socket;
    WakeSignal attention;
    std::atomic<bool> ended{false};
    std::thread thread;
  };

  void serve(Running& session);

  DvrContext& dvr_;
  WakeSignal& stop_;
  WakeSignal& ended_;
  std::list<std::unique_ptr<Running>> running_;
  std::mutex failureLock_;
  std::exception_ptr failure_;
};

}  // namespace marlin::cli::serve_dvr
