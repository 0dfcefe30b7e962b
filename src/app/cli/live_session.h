#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/cli/avi_capture_args.h"
#include "platform/shared_mouse.h"

namespace marlin::cli {

struct LiveOptions {
  std::string host;
  int port = 8841;
  std::string password;
  // Through DDNS instead of --host: the service as HOST:PORT and the DVR's name.
  std::string ddns;
  std::string dvrName;
  double seconds = 10.0;
  double timeoutSeconds = 7.0;
  // A lost connection ends the session instead of being logged in again.
  bool noReconnect = false;
  std::string recordPath;
  std::vector<int> keys;
  std::vector<MouseFields> mouse;  // the view's size is filled in from --size
  int mouseMode = 1;
  std::optional<int> split;
  std::string size = "640x448";
  std::optional<int> snapshotEvery;
  std::string outDir;
  bool noAudio = false;
  bool events = false;
  AviCaptureArgs avi;
  // The capture's frame is refreshed from the last picture every 40 ms
  // instead of taking every picture.
  bool lowSpeed = false;
};

// "STATE,X,Y" as a mouse event of the view; nullopt when malformed.
std::optional<MouseFields> parseMouseEvent(const std::string& text);

// Runs the engine in Client mode against a DVR for the given time, then
// disconnects. Throws CommandError with exit code 2 when the login failed or
// was refused, 1 for other failures.
void runLiveSession(const LiveOptions& options);

}  // namespace marlin::cli
