#include "app/cli/serve_dvr/dvr_simulator.h"

#include <array>
#include <cstdio>
#include <thread>

#include "app/cli/serve_dvr/client_sessions.h"
#include "app/cli/serve_dvr/ddns_responder.h"
#include "app/cli/serve_dvr/dvr_session.h"
#include "app/cli/serve_dvr/live_feed.h"
#include "app/cli/stop_on_signals.h"
#include "net/ansi_text.h"
#include "net/ddns_messages.h"
#include "net/login_reply.h"

namespace marlin::cli::serve_dvr {

namespace {

constexpr std::chrono::milliseconds kWithoutLimit(-1);

LoginPolicy loginPolicy(const SimulatorOptions& options) {
  LoginPolicy policy{{}, options.refuseReason, options.loginWait};
  if (const Status built = net::buildLoginFor(options.password, policy.expectedLogin); !built) {
    throw CommandError("--password: " + built.message());
  }
  return policy;
}

// The name as lookups carry it.
std::string ddnsName(const SimulatorOptions& options) {
  std::array<std::uint8_t, net::kDdnsQueryBytes> query{};
  if (const Status built = net::buildDdnsQuery(options.dvrName, query); !built) {
    throw CommandError("--name: " + built.message());
  }
  return *net::toWindows1252(options.dvrName);
}

void listen(TcpListener& listener, std::uint16_t port) {
  if (const Status listening = listener.listenOnLoopback(port); !listening) {
    throw CommandError(listening.message());
  }
}

// Accepts clients while there is a place for them until the simulator is to
// end: on a stop, or without loop once the recording has been sent and its
// clients have left. attention is poked by a stop and by a session's end.
void serveClients(TcpListener& listener, ClientSessions& sessions, const LiveFeed& feed, WakeSignal& attention,
                  const StopOnSignals& signals, bool loop) {
  for (;;) {
    // Drained before looking, so that a poke while this thread looks wakes the wait below.
    attention.drain();
    sessions.rethrowFailure();
    const std::size_t served = sessions.reap();
    if (signals.requested() || (!loop && feed.finished() && served == 0)) {
      return;
    }
    if (served >= ClientSessions::kMaxClients) {
      attention.wait(kWithoutLimit);
      continue;
    }
    TcpSocket client;
    const Status accepted = listener.accept(kWithoutLimit, &attention, client);
    if (accepted) {
      sessions.start(std::move(client));
    } else if (accepted.code() != StatusCode::Busy) {
      throw CommandError(accepted.message());
    }
  }
}

}  // namespace

void runDvrSimulator(const SimulatorOptions& options) {
  const LoginPolicy policy = loginPolicy(options);
  const std::string dvrName = options.ddnsPort ? ddnsName(options) : std::string();
  LiveProducer producer(options.stream);
  SentCopy sentCopy;
  if (!options.saveSent.empty()) {
    if (const Status opened = sentCopy.open(options.saveSent); !opened) {
      throw CommandError(opened.message());
    }
  }
  TcpListener dvrListener;
  listen(dvrListener, options.port);
  TcpListener ddnsListener;
  if (options.ddnsPort) {
    listen(ddnsListener, *options.ddnsPort);
  }
  std::printf("LISTENING %u\n", static_cast<unsigned>(dvrListener.port()));
  if (options.ddnsPort) {
    std::printf("DDNS %u\n", static_cast<unsigned>(ddnsListener.port()));
  }
  std::fflush(stdout);

  WakeSignal stop;
  WakeSignal attention;
  const StopOnSignals signals([&] {
    stop.poke();
    attention.poke();
  });
  EventLog log;
  FaultPlan faults(options.faults);
  LiveFeed feed(producer, attention);
  DvrContext dvr{policy, feed, faults, log, options.saveSent.empty() ? nullptr : &sentCopy, stop};
  std::thread ddnsThread;
  if (options.ddnsPort) {
    ddnsThread =
        std::thread([&] { DdnsResponder(ddnsListener, dvrName, dvrListener.port(), faults, log, stop).run(); });
  }
  const auto stopDdns = [&] {
    stop.poke();
    if (ddnsThread.joinable()) {
      ddnsThread.join();
    }
  };
  try {
    ClientSessions sessions(dvr, stop, attention);
    serveClients(dvrListener, sessions, feed, attention, signals, options.stream.loop);
  } catch (...) {
    stopDdns();
    throw;
  }
  stopDdns();
}

}  // namespace marlin::cli::serve_dvr
