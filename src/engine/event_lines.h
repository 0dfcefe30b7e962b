#pragma once

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

#include "base/calendar.h"
#include "engine/engine_types.h"
#include "engine/live_observer.h"
#include "net/client_observer.h"
#include "net/dvr_client.h"

namespace marlin {

// The JSON lines headless front ends print for what an engine reports, one
// object each, the newline included. Scripts read them, so every front end
// prints exactly these.

// A picture shown in Player mode; position is the read position after the
// read that delivered it.
std::string pictureEventLine(int channel, const CalendarTime& time, int width, int height, std::uint64_t position);
// A live picture, which has no position in a recording.
std::string livePictureEventLine(int channel, const CalendarTime& time, int width, int height);
std::string stateEventLine(PlaybackState state, double speed);
std::string connectionEventLine(net::ConnectionState state);
// error: the connection's last error when the notice came.
std::string noticeEventLine(net::ClientNotice notice, const std::string& error);
std::string audioEventLine(std::uint32_t bytes);
// What a window showed its user: a message box, or a confirmation in its
// status line.
std::string messageEventLine(const std::string& title, const std::string& text);
std::string statusEventLine(const std::string& text);

// "forward", "step-backward", ... as the state lines name the states.
const char* playbackStateWord(PlaybackState state);

// Writes the event lines of an engine in either mode to a stream, flushing
// each: install it with setObserver in Player mode, setLiveObserver in Client
// mode. Lines come whole from the worker and the connection threads alike.
class EventLinePrinter final : public LiveObserver {
 public:
  // client: whose last error the notice lines carry (the engine's client()).
  explicit EventLinePrinter(const net::DvrClient& client, std::FILE* out = stdout);

  // A live picture, reported with position 0, gets the live line.
  void pictureShown(int channel, const CalendarTime& blockTime, int width, int height, std::uint64_t position) override;
  void stateChanged(PlaybackState state, double speed) override;
  void audioPlayed(std::uint32_t bytes) override;
  void connectionStateChanged(net::ConnectionState state) override;
  void notice(net::ClientNotice notice) override;
  // Any other line, whole, from any thread.
  void print(const std::string& line);

 private:
  const net::DvrClient& client_;
  std::FILE* out_;
  std::mutex lock_;
};

}  // namespace marlin
