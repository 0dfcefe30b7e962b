#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/cli/serve_dvr/fault_plan.h"
#include "app/cli/serve_dvr/live_producer.h"

namespace marlin::cli::serve_dvr {

struct SimulatorOptions {
  ProducerOptions stream;
  std::uint16_t port = 8841;
  std::string password;  // UTF-8
  std::optional<std::uint16_t> ddnsPort;
  std::string dvrName;  // UTF-8, with ddnsPort
  std::optional<std::uint16_t> refuseReason;
  std::optional<std::chrono::milliseconds> loginWait;
  std::vector<FaultSwitch> faults;
  std::string saveSent;  // empty: no copy
};

// Serves the recording as a DVR on 127.0.0.1, to up to
// ClientSessions::kMaxClients clients at once, after printing "LISTENING
// <port>" (and "DDNS <port>") on standard output. Ends on SIGINT or SIGTERM,
// or, without loop, once the recording has been sent and its clients have
// left. Throws CommandError when it cannot start or a session fails.
void runDvrSimulator(const SimulatorOptions& options);

}  // namespace marlin::cli::serve_dvr
