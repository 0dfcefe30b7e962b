#pragma once

#include <cstdint>

namespace marlin {

enum class EngineMode : int { Player = 1, Client = 2 };

// What the worker is doing; written by the worker alone (and reset to Idle by
// the UI thread only once the worker has stopped). 1 is never entered.
enum class PlaybackState : int {
  Idle = 0,
  Forward = 2,
  Reverse = 3,
  StepForward = 4,
  StepBackward = 5,
  Paused = 6,
  Jump = 7,
};

// Codes of the one-slot mailbox from the UI thread to the worker.
enum class EngineCommand : int {
  None = 0,
  Pause = 2,
  Play = 3,
  PlayReverse = 4,
  StepForward = 5,
  StepBackward = 6,
  JumpTo = 7,
};

// The build's recorder configuration, given to PlayerEngine::configure.
struct DvrConfig {
  int videoFormat = 0;  // CodecVariant number
  int audioCodec = 0;   // AudioCodecId number, 1..6
  int channelCount = 0;
  int sampleRate = 0;  // Hz
};

}  // namespace marlin
