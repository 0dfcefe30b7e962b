#pragma once

#include <optional>
#include <string>
#include <vector>

namespace marlin::desktop {

struct ViewerCommandLine {
  // A recording to open once the window is up; double quotes are dropped.
  std::string recordingPath;
  // "/IP:" and "/PORT:" (or --ip/--port): connect on the first timer tick
  // when both are given.
  std::string ip;
  std::string port;
  bool events = false;
  std::string screenshotPath;
  double screenshotAfterSeconds = 0.0;
  // The window's outer size, "1280x896"; 0 x 0 keeps the start-up size.
  int windowWidth = 0;
  int windowHeight = 0;
  bool help = false;
  bool version = false;
  // Set when the line could not be understood; the text says why.
  std::string error;

  bool autoConnect() const { return !ip.empty() && !port.empty(); }
};

// Reads the arguments after the program name. The recorder's own form (one
// path, "/IP:addr", "/PORT:n" anywhere) and the usual options both work.
ViewerCommandLine parseViewerCommandLine(const std::vector<std::string>& arguments);

std::string viewerUsage();

}  // namespace marlin::desktop
