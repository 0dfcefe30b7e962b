#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

#include "app/cli/serve_dvr/event_log.h"
#include "app/cli/serve_dvr/fault_plan.h"
#include "app/cli/serve_dvr/live_feed.h"
#include "app/cli/serve_dvr/sent_copy.h"
#include "platform/tcp_socket.h"
#include "platform/wake_signal.h"

namespace marlin::cli::serve_dvr {

// How the DVR answers logins.
struct LoginPolicy {
  std::vector<std::uint8_t> expectedLogin;             // the login message the password gives
  std::optional<std::uint16_t> refuseReason;           // refuse every login with this reason
  std::optional<std::chrono::milliseconds> waitFirst;  // answer "wait", then the answer this much later
};

// What every connection of the simulated DVR shares.
struct DvrContext {
  LoginPolicy login;
  LiveFeed& feed;
  FaultPlan& faults;
  EventLog& log;
  SentCopy* sentCopy;      // null: no copy asked for
  const WakeSignal& stop;  // poked, and never drained, when the simulator is to end
};

// A client that has not logged in by then is let go, so that it cannot hold
// on to one of the DVR's places for clients.
inline constexpr std::chrono::seconds kLoginLimit{5};

// Serves one client as the DVR does, on the calling thread: checks its
// login, then sends it the live feed with a status report every second,
// logging what the client sends, until the client leaves, a fault or a
// limit drops it, or the simulator stops. attention is poked when the feed
// has pieces for the client and when the simulator stops.
void serveClient(TcpSocket& socket, DvrContext& dvr, WakeSignal& attention);

}  // namespace marlin::cli::serve_dvr
