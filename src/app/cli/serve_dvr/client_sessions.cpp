#include "app/cli/serve_dvr/client_sessions.h"

#include <utility>

namespace marlin::cli::serve_dvr {

ClientSessions::ClientSessions(DvrContext& dvr, WakeSignal& stop, WakeSignal& ended)
    : dvr_(dvr), stop_(stop), ended_(ended) {}

ClientSessions::~ClientSessions() { stopAll(); }

void ClientSessions::start(TcpSocket socket) {
  auto session = std::make_unique<Running>();
  session->socket = std::move(socket);
  Running& started = *session;
  started.thread = std::thread([this, &started] { serve(started); });
  running_.push_back(std::move(session));
}

void ClientSessions::serve(Running& session) {
  try {
    serveClient(session.socket, dvr_, session.attention);
  } catch (...) {
    std::lock_guard guard(failureLock_);
    if (!failure_) {
      failure_ = std::current_exception();
    }
  }
  session.ended = true;
  ended_.poke();
}

std::size_t ClientSessions::reap() {
  for (auto at = running_.begin(); at != running_.end();) {
    if ((*at)->ended) {
      (*at)->thread.join();
      at = running_.erase(at);
    } else {
      ++at;
    }
  }
  return running_.size();
}

void ClientSessions::rethrowFailure() {
  std::lock_guard guard(failureLock_);
  if (failure_) {
    std::rethrow_exception(std::exchange(failure_, nullptr));
  }
}

void ClientSessions::stopAll() {
  stop_.poke();
  for (const std::unique_ptr<Running>& session : running_) {
    session->attention.poke();
  }
  for (const std::unique_ptr<Running>& session : running_) {
    session->thread.join();
  }
  running_.clear();
}

}  // namespace marlin::cli::serve_dvr
