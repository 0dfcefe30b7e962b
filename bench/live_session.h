#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <future>
#include <vector>

#include "engine/player_engine.h"
#include "platform/silent_audio_device.h"
#include "render/bitmap_font_painter.h"
#include "render/offscreen_presenter.h"
#include "support/fake_server.h"

namespace marlin::bench {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;

// What the fake DVR sends once the login is accepted: unit i (a picture with what follows it) at
// i / unitsPerSecond from the session's start; the session lasts seconds.
struct SessionPlan {
  std::vector<Bytes> units;
  double unitsPerSecond = 30;
  double seconds = 0;
  // Whether the DVR's socket sends every unit at once (TCP_NODELAY); otherwise a unit shorter than a segment
  // waits for the client's acknowledgement of the one before.
  bool sendAtOnce = true;
};

// The DVR's side of one session on loopback, run by the fake server's thread: accepts the login, lets the
// client settle, then sends the plan, stamping the steady-clock time just before each send. It reads the
// processor time of the whole process and of its own thread at the session's start and end, so that what
// the client spent is the difference.
class FakeDvr {
 public:
  explicit FakeDvr(SessionPlan plan);

  std::uint16_t port() const { return server_.port(); }
  int connections() const { return server_.connections(); }
  // False when the session has not been sent completely by its end and a generous margin.
  bool waitUntilSent();
  // Valid once waitUntilSent returned true.
  const std::vector<Clock::time_point>& sendTimes() const { return sendTimes_; }
  double clientCpuSecondsPerSecond() const { return clientCpuPerSecond_; }

 private:
  void serve(testing::FakePeer& peer, int connection);
  void sendPlan(testing::FakePeer& peer);

  SessionPlan plan_;
  std::vector<Clock::time_point> sendTimes_;
  double clientCpuPerSecond_ = 0;
  std::promise<void> sent_;
  std::future<void> sentSignal_ = sent_.get_future();
  // Last: its thread runs serve, which uses everything above.
  testing::FakeServer server_;
};

// The viewer's side: the engine in Client mode over an off-screen view and a sound device that plays nothing,
// noting when the renderer took each picture (pictureShown comes right after PutPicture).
class LiveViewer final : public LiveObserver {
 public:
  // Times are kept for the first `pictures` pictures.
  explicit LiveViewer(std::size_t pictures);
  ~LiveViewer() override;
  LiveViewer(const LiveViewer&) = delete;
  LiveViewer& operator=(const LiveViewer&) = delete;

  bool connect(std::uint16_t port);
  // Waits a little for the last pictures sent to be shown; false when fewer than count were.
  bool waitForPictures(std::size_t count) const;
  std::size_t picturesShown() const { return shown_.load(std::memory_order_acquire); }
  // Valid for the pictures counted by picturesShown.
  const std::vector<Clock::time_point>& shownTimes() const { return shownTimes_; }
  std::uint64_t soundPacketsPlayed() const { return soundPackets_.load(); }

  void pictureShown(int channel, const CalendarTime& time, int width, int height, std::uint64_t position) override;
  void audioPlayed(std::uint32_t bytes) override;
  void connectionStateChanged(net::ConnectionState) override {}
  void notice(net::ClientNotice) override {}

 private:
  std::vector<Clock::time_point> shownTimes_;
  std::atomic<std::size_t> shown_{0};
  std::atomic<std::uint64_t> soundPackets_{0};
  SilentAudioDevice audio_;
  OffscreenPresenter presenter_{Size{640, 448}};
  BitmapFontPainter painter_;
  // Last: its threads call back into the members above until it disconnects.
  PlayerEngine engine_;
};

}  // namespace marlin::bench
