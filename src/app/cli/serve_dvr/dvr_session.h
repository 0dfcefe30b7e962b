#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

#include "app/cli/serve_dvr/event_log.h"
#include "app/cli/serve_dvr/fault_plan.h"
#include "app/cli/serve_dvr/live_producer.h"
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
  LiveProducer& producer;
  FaultPlan& faults;
  EventLog& log;
  SentCopy* sentCopy;      // null: no copy asked for
  const WakeSignal& stop;  // poked when the simulator is to end
};

// Serves one client as the DVR does: checks its login, then sends the live
// stream paced at the pictures' times with a status report every second,
// logging what the client sends, until the client leaves, a fault drops it
// or stop is poked. The stream goes on where the last client left it, from
// a refresh picture.
void serveClient(TcpSocket& socket, DvrContext& dvr);

}  // namespace marlin::cli::serve_dvr
