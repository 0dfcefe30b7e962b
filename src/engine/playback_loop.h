#pragma once

#include <cstdint>
#include <vector>

#include "engine/engine_types.h"
#include "engine/reverse_picture_cache.h"
#include "engine/worker_context.h"

namespace marlin {

// The worker body in Player mode: reads frames from the source forward,
// backward, stepping or from a jump target, sends them down the frame
// pipeline (sound only at normal speed forward) and paces the pictures by
// their frame period and the speed. Buffers live as long as one run.
//
// Every picture shown is decoded from its channel's last refresh picture
// through every picture of that channel after it: reading forward keeps the
// references up to date; after anything else (a jump, reading backward, a
// skip, a channel coming into view) the shown channels are primed from their
// last refresh pictures, and backward play takes its pictures from a cache
// filled forward from them.
class PlaybackLoop {
 public:
  explicit PlaybackLoop(const WorkerContext& context);
  int run();

  // How long the loop waits for a command while there is nothing to do
  // (paused, no source), instead of polling flat out.
  static constexpr std::uint32_t kIdleWaitMs = 10;

 private:
  enum class Next { Pace, Continue };

  void takeCommand();
  void setState(PlaybackState state);
  PlaybackState state() const { return context_.status.state(); }
  double speed() const { return context_.status.speed(); }
  void skipForward();
  void skipBackward();
  Next readForward();
  Next readReverse();
  Next readStep(bool backward);
  Next readJump();
  void followView();
  ChannelSet recordedChannels() const;
  ChannelSet channelsInView() const;
  void keepReferencesCurrent();
  void prime(ChannelSet channels);
  bool showBackward(std::uint32_t length);
  bool showFirstPicture();
  void countFailedRead();
  bool startOverFromOtherEnd(std::uint64_t positionBefore, bool backward);
  bool parsePicture(std::uint32_t length);
  void countPicture();
  bool handleParsedPicture(std::uint32_t length);
  bool showParsedPicture(std::uint32_t length);
  void handleAudio(std::uint32_t length);
  void captureAudio(std::uint32_t length);
  void writeSound();
  void dropSoundNoLongerWanted();
  bool soundWanted() const;
  void pace();
  bool waitForCommand(std::uint32_t ms);

  WorkerContext context_;
  std::vector<std::uint8_t> frame_;
  int skipCounter_ = 0;
  int failedReads_ = 0;
  // Whether a frame was read since play last started over from the other
  // end; a recording without one is not gone round again and again.
  bool readSinceStartOver_ = true;
  std::uint32_t frameStartMs_ = 0;
  // Display time owed by pictures that took longer than theirs.
  std::int64_t lateMs_ = 0;
  // Where forward reading has kept the channels' references up to date:
  // reading forward from anywhere else first primes them.
  std::uint64_t referencesAt_ = 0;
  ChannelSet visible_;
  // A backward skip moved the read position since the last picture read.
  bool skippedBack_ = false;
  ReversePictureCache reverseCache_;
  PlaybackState lastReportedState_ = PlaybackState::Idle;
  double lastReportedSpeed_ = 0.0;
};

}  // namespace marlin
