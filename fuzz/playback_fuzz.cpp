// Arbitrary recordings played through the whole engine: forward with sound,
// backward, from a jump target, frame by frame and fast with skipping. No
// crash, no read or write outside the buffers, and every command ends in a
// pause within a bounded time (a hang is reported as a crash).
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>

#include "engine/player_engine.h"
#include "render/bitmap_font_painter.h"
#include "render/offscreen_presenter.h"

namespace {

using marlin::PlaybackState;

// Waits only poll, so the engine runs flat out.
class UnpacedClock final : public marlin::PlaybackClock {
 public:
  std::uint32_t now() const override { return ++tick_; }
  int waitAny(std::initializer_list<const marlin::ManualResetEvent*> events, std::uint32_t) override {
    return marlin::waitAny(events, std::chrono::milliseconds(0));
  }

 private:
  mutable std::atomic<std::uint32_t> tick_{1};
};

// Plays whatever it is given at once: the ring always has room.
class DrainingAudioDevice final : public marlin::AudioDevice {
 public:
  bool open(const marlin::WaveFormat&) override { return open_ = true; }
  void close() override { open_ = false; }
  bool isOpen() const override { return open_; }
  bool prepareLoop(const std::uint8_t* ring, std::uint32_t size) override { return ring != nullptr && size != 0; }
  bool startLoop() override { return true; }
  bool playedBytes(std::uint32_t& bytes) const override {
    bytes = played_ += 4096;
    return true;
  }
  bool pause() override { return true; }
  bool restart() override { return true; }
  void setVolume(std::uint32_t) override {}
  void lockRing() override {}
  void unlockRing() override {}

 private:
  std::atomic<bool> open_{false};
  mutable std::uint32_t played_ = 0;
};

class StateCounter final : public marlin::PlaybackObserver {
 public:
  void pictureShown(int, const marlin::CalendarTime&, int, int, std::uint64_t) override {}
  void stateChanged(PlaybackState, double) override { ++changes; }
  std::atomic<std::uint64_t> changes{0};
};

struct Player {
  Player() : engine({clock, audio, presenter, painter, marlin::consoleMessageSink()}) { engine.setObserver(&counter); }

  // Waits until the worker reported a change of state since before and, when
  // toRest, is paused; a worker that never gets there is a hang.
  void waitFor(std::uint64_t before, bool toRest) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (counter.changes == before || (toRest && engine.getState() != PlaybackState::Paused)) {
      if (std::chrono::steady_clock::now() > deadline) {
        std::abort();
      }
      std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
  }

  // Gives a command and waits until the worker took it and came to rest.
  void command(const std::function<void()>& give) {
    const std::uint64_t before = counter.changes;
    give();
    waitFor(before, true);
  }

  UnpacedClock clock;
  DrainingAudioDevice audio;
  marlin::OffscreenPresenter presenter{marlin::Size{320, 224}};
  marlin::BitmapFontPainter painter;
  StateCounter counter;
  marlin::PlayerEngine engine;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) {
    return 0;
  }
  static Player player;
  marlin::PlayerEngine& engine = player.engine;
  const int variant = data[0] % 7;
  const int audioCodec = 1 + data[1] % 6;
  const int split = (data[1] >> 3) % 2 == 0 ? 4 : 1;
  const int page = (data[1] >> 4) % 4;

  const int fd = memfd_create("recording", 0);
  if (fd < 0 || write(fd, data + 2, size - 2) != static_cast<ssize_t>(size - 2)) {
    std::abort();
  }
  engine.configure(variant, audioCodec, 4, 8000);
  engine.setMode(marlin::EngineMode::Player, -1);
  engine.selectView(split, page);
  engine.adjustSpeed(1.0);
  const std::string path = "/proc/self/fd/" + std::to_string(fd);
  const std::uint64_t beforeOpen = player.counter.changes;
  if (engine.openSource(path, (data[0] & 0x80) != 0) == 1) {
    // Opening plays forward to the end, with sound.
    player.waitFor(beforeOpen, true);
    player.command([&] { engine.playReverse(1); });
    player.command([&] { engine.jumpTo(engine.getSourceSize() / 2); });
    player.command([&] { engine.stepForward(); });
    player.command([&] { engine.stepBackward(); });
    player.command([&] { engine.playReverse(4); });
    // From the start, fast play at 8, then (when the worker still plays
    // forward by then) at 16 with skipping.
    player.command([&] { engine.jumpTo(0); });
    const std::uint64_t beforeFast = player.counter.changes;
    engine.fastForward();
    player.waitFor(beforeFast, false);
    player.command([&] { engine.fastForward(); });
    engine.closeSource();
  }
  close(fd);
  return 0;
}
