#pragma once

#include <CLI/CLI.hpp>
#include <map>
#include <string>

#include "engine/player_engine.h"

namespace marlin::cli {

// The options of the commands that capture what is shown into an AVI file.
struct AviCaptureArgs {
  std::string path;
  std::string codec = "raw";
};

// The video codecs by the names the commands take them by.
const std::map<std::string, VideoCodec>& videoCodecNames();

// The name a video output given on the command line is written under:
// ".avi" added to a file name without an extension. Throws CommandError
// (exit status 2) for an extension that names no container.
std::string videoOutputName(const std::string& given);

// Returns the --avi option, for the options that need it.
CLI::Option* addAviCaptureArgs(CLI::App& command, AviCaptureArgs& args);

// Starts the engine's capture in captureMode, or throws CommandError with
// the recorder's result.
void startAviCapture(PlayerEngine& engine, const AviCaptureArgs& args, int captureMode);

// Closes the capture and tells what went into it: a line on standard
// error, and with events a JSON line {"event":"avi","frames":F,"samples":S}.
void finishAviCapture(PlayerEngine& engine, const AviCaptureArgs& args, bool events);

}  // namespace marlin::cli
