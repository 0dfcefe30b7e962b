#pragma once

#include <cstdint>

#include "engine/playback_observer.h"
#include "net/client_observer.h"

namespace marlin {

// What headless front ends learn from an engine in Client mode: each picture
// shown (through PlaybackObserver::pictureShown, with position 0), each
// sound packet played, and the connection's states and notices. Called on
// the engine's and the connection's threads; must return quickly and must
// not call the engine.
class LiveObserver : public PlaybackObserver, public net::ClientObserver {
 public:
  // A live sound packet of bytes (as received) went to the sound device.
  virtual void audioPlayed(std::uint32_t bytes) = 0;
  // The live loop has no playback state.
  void stateChanged(PlaybackState, double) override {}
};

}  // namespace marlin
