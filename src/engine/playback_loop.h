#pragma once

#include <cstdint>
#include <vector>

#include "codec/yuv_picture.h"
#include "engine/engine_types.h"

namespace marlin {

class PlayerEngine;

// The worker body in Player mode: reads frames from the engine's source
// forward, backward, stepping or from a jump target, decodes and shows the
// pictures, plays the sound at normal speed and paces the pictures by their
// frame period and the speed. Buffers live as long as one run.
class PlaybackLoop {
 public:
  explicit PlaybackLoop(PlayerEngine& engine);
  int run();

  // How long the loop waits for a command while there is nothing to do
  // (paused, no source), instead of polling flat out.
  static constexpr std::uint32_t kIdleWaitMs = 10;

 private:
  enum class Next { Pace, Continue };

  void takeCommand();
  void setState(PlaybackState state);
  PlaybackState state() const;
  void skipForward();
  void skipBackward();
  Next readForward();
  Next readReverse();
  Next readStep(bool backward);
  Next readJump();
  void countFailedRead();
  bool parseAndCheckChannel(std::uint32_t length);
  Next handleVideo(std::uint32_t length);
  void handleAudio(std::uint32_t length);
  bool audioRouteAccepts(std::uint32_t channel) const;
  bool writeAudioBlock(const std::uint8_t* pcm, std::uint32_t length, bool aLaw);
  void showPicture(int channel, const std::uint8_t* picture, int width, int height);
  void pace();
  bool waitForCommand(std::uint32_t ms);

  PlayerEngine& engine_;
  std::vector<std::uint8_t> frame_;
  std::vector<std::uint8_t> pcm_;
  PictureStore pictures_;
  YuvPicture firstHalf_;
  YuvPicture secondHalf_;
  int skipCounter_ = 0;
  int failedReads_ = 0;
  std::uint32_t frameStartMs_ = 0;
  PlaybackState lastReportedState_ = PlaybackState::Idle;
  double lastReportedSpeed_ = 0.0;
};

}  // namespace marlin
