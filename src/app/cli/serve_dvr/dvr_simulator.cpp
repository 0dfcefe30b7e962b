#include "app/cli/serve_dvr/dvr_simulator.h"

#include <sys/socket.h>

#include <array>
#include <atomic>
#include <cstdio>
#include <thread>

#include "app/cli/serve_dvr/ddns_responder.h"
#include "app/cli/serve_dvr/dvr_session.h"
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

// Serves clients one after another until the simulator is to end.
void serveClients(TcpListener& listener, DvrContext& dvr, const StopOnSignals& signals, std::atomic<int>& clientFd,
                  bool loop) {
  for (;;) {
    TcpSocket client;
    if (const Status accepted = listener.accept(kWithoutLimit, &dvr.stop, client); !accepted) {
      if (accepted.code() != StatusCode::Busy) {
        throw CommandError(accepted.message());
      }
      return;
    }
    clientFd.store(client.fd());
    serveClient(client, dvr);
    clientFd.store(-1);
    if (signals.requested() || (!loop && dvr.producer.finished())) {
      return;
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
  std::atomic<int> clientFd{-1};
  const StopOnSignals signals([&] {
    stop.poke();
    // A send to a client that reads nothing would otherwise never return.
    if (const int fd = clientFd.load(); fd >= 0) {
      ::shutdown(fd, SHUT_RDWR);
    }
  });
  EventLog log;
  FaultPlan faults(options.faults);
  DvrContext dvr{policy, producer, faults, log, options.saveSent.empty() ? nullptr : &sentCopy, stop};
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
    serveClients(dvrListener, dvr, signals, clientFd, options.stream.loop);
  } catch (...) {
    stopDdns();
    throw;
  }
  stopDdns();
}

}  // namespace marlin::cli::serve_dvr
