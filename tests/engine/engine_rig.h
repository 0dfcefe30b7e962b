#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "engine/playback_clock.h"
#include "engine/playback_observer.h"
#include "engine/player_engine.h"
#include "render/bitmap_font_painter.h"
#include "render/offscreen_presenter.h"
#include "support/fake_audio_device.h"
#include "support/temp_dir.h"

namespace marlin::testing {

// Time that moves only when the worker waits: a wait that no event ends
// advances it by the whole timeout at once (after yielding for at most a
// millisecond of real time, so that commands from the test get in). The
// waits asked for are kept, so pacing can be checked exactly.
class ManualClock final : public PlaybackClock {
 public:
  std::uint32_t now() const override;
  int waitAny(std::initializer_list<const ManualResetEvent*> events, std::uint32_t ms) override;
  std::vector<std::uint32_t> waits() const;
  void clearWaits();

 private:
  mutable std::mutex lock_;
  std::uint32_t now_ = 1000;
  std::vector<std::uint32_t> waits_;
};

struct ShownPicture {
  int channel;
  CalendarTime time;
  int width;
  int height;
  std::uint64_t position;
};

// Collects what the worker reports and lets the test wait for it.
class EventLog final : public PlaybackObserver {
 public:
  void pictureShown(int channel, const CalendarTime& time, int width, int height, std::uint64_t position) override;
  void stateChanged(PlaybackState state, double speed) override;

  // Holds the worker inside its next report of state at speed until release
  // (or 30 s of real time), so that a command given meanwhile is the next
  // thing it takes: nothing is read in that state before it.
  void holdAt(PlaybackState state, double speed);
  bool waitUntilHeld() const;
  void release();

  std::vector<ShownPicture> pictures() const;
  std::vector<ShownPicture> picturesFrom(std::size_t first) const;
  std::vector<PlaybackState> states() const;
  // Waits (with the tests' patience) until condition holds over the log.
  bool waitFor(const std::function<bool(const EventLog&)>& condition) const;
  std::size_t pictureCount() const;

 private:
  mutable std::mutex lock_;
  std::condition_variable released_;
  std::vector<ShownPicture> pictures_;
  std::vector<PlaybackState> states_;
  bool holdArmed_ = false;
  bool held_ = false;
  PlaybackState holdState_ = PlaybackState::Idle;
  double holdSpeed_ = 0.0;
};

// Pictures spoilt on purpose: a Header picture does not parse, a Body
// picture parses but does not decode.
enum class PictureDamage { None, Header, Body };

struct RecordingPlan {
  int rounds = 40;  // each round: one picture of every channel
  int channels = 4;
  CodecVariant variant = 4;
  std::uint8_t frameInterval = 1;
  int audioSamplesPerRound = 0;  // 0: no audio frames
  std::function<int(int round)> audioChannelOf = [](int) { return 0; };
  std::function<int(int round)> audioSamplesOf;  // overrides audioSamplesPerRound
  bool dual = false;                             // variant 5: dual pictures of channels 0 and 1
  bool firstHidden = false;
  bool secondHidden = false;
  std::uint32_t startTime = 1262347200;  // a whole minute: second n is round n
  std::function<PictureDamage(int round, int channel)> damageOf = [](int, int) { return PictureDamage::None; };
};

// A recording of flat-grey refresh pictures (encoded once per channel and
// repeated, so large recordings are quick to make), one block time per round,
// closed by a short audio frame.
std::vector<std::uint8_t> makePlaybackRecording(const RecordingPlan& plan);

// An engine over the scripted clock, sound device and an off-screen display,
// configured for Player mode.
struct EngineRig {
  explicit EngineRig(int videoFormat = 4, int channels = 4, int audioCodec = 1);
  ~EngineRig();
  // Writes the recording, opens it and waits until the worker plays.
  void open(const std::vector<std::uint8_t>& recording);
  bool waitForState(PlaybackState state) const;
  // Gives a command and waits until the worker has reported taking it and
  // then settling, so that the next command cannot replace it in the mailbox.
  bool commandAndWait(const std::function<void()>& command, PlaybackState taken, PlaybackState settled);
  bool jumpAndWait(std::uint64_t position);

  TempDir dir;
  ManualClock clock;
  FakeAudioDevice audio;
  OffscreenPresenter presenter{Size{1280, 896}};
  BitmapFontPainter painter;
  ConsoleMessageSink messages;
  EventLog log;
  PlayerEngine engine{{clock, audio, presenter, painter, messages}};
};

}  // namespace marlin::testing
