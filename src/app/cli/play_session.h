#pragma once

#include <optional>
#include <string>

#include "app/cli/avi_capture_args.h"
#include "app/cli/recording_args.h"
#include "render/geometry.h"

namespace marlin::cli {

struct PlayOptions {
  RecordingArgs recording;
  double speed = 1.0;
  bool reverse = false;
  std::optional<std::string> start;  // a byte position or a local time
  std::optional<int> split;
  int page = 0;
  double seconds = 10.0;
  std::optional<int> snapshotEvery;
  std::string outDir;
  std::string size = "1280x896";
  bool noAudio = false;
  bool events = false;
  AviCaptureArgs avi;
};

std::optional<Size> parseSize(const std::string& text);

// Plays the recording through a real engine for the given time, giving the
// commands a user would give to reach the speed and direction asked for.
void runPlaySession(const PlayOptions& options);

}  // namespace marlin::cli
