#pragma once

#include <cstdint>
#include <string>

#include "app/cli/serve_dvr/event_log.h"
#include "app/cli/serve_dvr/fault_plan.h"
#include "platform/tcp_socket.h"
#include "platform/wake_signal.h"

namespace marlin::cli::serve_dvr {

// The dynamic-address service of one DVR: answers a query for the DVR's
// name with 127.0.0.1 and the DVR's port, logging every query; a query for
// another name gets no answer. One query per connection, one connection at
// a time (a query that has not come within five seconds is given up), until
// stop is poked.
class DdnsResponder {
 public:
  // dvrName in the DVR's code page (Windows-1252), as queries carry it.
  DdnsResponder(TcpListener& listener, std::string dvrName, std::uint16_t dvrPort, FaultPlan& faults, EventLog& log,
                const WakeSignal& stop);

  void run();

 private:
  void answer(TcpSocket& socket);
  // Until the client closes or stop is poked.
  void waitForClose(TcpSocket& socket);

  TcpListener& listener_;
  std::string dvrName_;
  std::uint16_t dvrPort_;
  FaultPlan& faults_;
  EventLog& log_;
  const WakeSignal& stop_;
};

}  // namespace marlin::cli::serve_dvr
