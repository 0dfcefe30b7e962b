#include "live_session.h"

#include <time.h>

#include <thread>
#include <utility>

#include "net/net_test_support.h"

namespace marlin::bench {

namespace {

constexpr std::size_t kLoginBytes = 44;
// The DVR's acceptance of a login: a control message of 12 bytes, type 3.
constexpr const char* kLoginAccepted = "000C0003";
// Long enough for the client to have taken the acceptance and gone back to waiting, so that the login's own
// work stays out of the figures.
constexpr std::chrono::milliseconds kSettle{500};
// Room beyond a session's length for a slow start on a loaded machine.
constexpr std::chrono::seconds kSessionMargin{15};
// The DVR stays silent for the whole idle session: a client that took that for a lost connection would
// reconnect in the middle of the measurement.
constexpr std::uint32_t kSilenceAllowedMs = 60000;
// The last picture sent is shown well within this after the session's end.
constexpr std::chrono::seconds kLastPictureWait{2};

double cpuSeconds(clockid_t clock) {
  timespec t{};
  clock_gettime(clock, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

Clock::duration secondsAsDuration(double seconds) {
  return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

}  // namespace

FakeDvr::FakeDvr(SessionPlan plan)
    : plan_(std::move(plan)),
      sendTimes_(plan_.units.size()),
      server_([this](testing::FakePeer& peer, int connection) { serve(peer, connection); }) {}

bool FakeDvr::waitUntilSent() {
  const Clock::duration limit = kSettle + secondsAsDuration(plan_.seconds) + kSessionMargin;
  return sentSignal_.wait_for(limit) == std::future_status::ready;
}

// Only the first connection gets the session: a second login means the client lost the first one, and the
// session's figures would mean nothing.
void FakeDvr::serve(testing::FakePeer& peer, int connection) {
  if (connection == 0 && peer.read(kLoginBytes).size() == kLoginBytes) {
    if (plan_.sendAtOnce) {
      peer.sendAtOnce();
    }
    peer.send(net::testing::controlBytes(kLoginAccepted));
    std::this_thread::sleep_for(kSettle);
    sendPlan(peer);
  }
  peer.holdUntilClosed();
}

void FakeDvr::sendPlan(testing::FakePeer& peer) {
  const Clock::time_point begin = Clock::now();
  const double processBegin = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
  const double threadBegin = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
  const double period = 1.0 / plan_.unitsPerSecond;
  for (std::size_t i = 0; i < plan_.units.size(); ++i) {
    std::this_thread::sleep_until(begin + secondsAsDuration(period * static_cast<double>(i)));
    sendTimes_[i] = Clock::now();
    peer.send(plan_.units[i]);
  }
  std::this_thread::sleep_until(begin + secondsAsDuration(plan_.seconds));
  const double threadSeconds = cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - threadBegin;
  const double processSeconds = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - processBegin;
  const double wallSeconds = std::chrono::duration<double>(Clock::now() - begin).count();
  clientCpuPerSecond_ = (processSeconds - threadSeconds) / wallSeconds;
  sent_.set_value();
}

LiveViewer::LiveViewer(std::size_t pictures)
    : shownTimes_(pictures), engine_({processPlaybackClock(), audio_, presenter_, painter_, consoleMessageSink()}) {
  engine_.configure(4, 1, 4, 8000);
  engine_.setMode(EngineMode::Client, -1);
  engine_.setLiveObserver(this);
  engine_.setTimeout(kSilenceAllowedMs);
}

LiveViewer::~LiveViewer() { engine_.disconnect(); }

bool LiveViewer::connect(std::uint16_t port) { return engine_.connect("127.0.0.1", port, "bench") == 1; }

bool LiveViewer::waitForPictures(std::size_t count) const {
  const Clock::time_point deadline = Clock::now() + kLastPictureWait;
  while (picturesShown() < count && Clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return picturesShown() >= count;
}

// Only the engine's worker calls this, so the count needs no read-modify-write.
void LiveViewer::pictureShown(int, const CalendarTime&, int, int, std::uint64_t) {
  const std::size_t index = shown_.load(std::memory_order_relaxed);
  if (index < shownTimes_.size()) {
    shownTimes_[index] = Clock::now();
  }
  shown_.store(index + 1, std::memory_order_release);
}

void LiveViewer::audioPlayed(std::uint32_t) { ++soundPackets_; }

}  // namespace marlin::bench
