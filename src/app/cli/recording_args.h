#pragma once

#include <CLI/CLI.hpp>
#include <string>

#include "app/cli/cli_support.h"
#include "recognition/recognition.h"
#include "source/stream_source.h"

namespace marlin::cli {

// The options every command that reads a recording takes.
// isDisk and variant are the reading to use: --disk and --variant when
// given, otherwise what recognition found once the command line was parsed.
struct RecordingArgs {
  std::string path;
  bool isDisk = false;
  CodecVariant variant = kVariantQkt2;
  Recognition recognition;
};

// Adds the recording and the options that force its reading, and recognises
// what they leave open when the command line has been parsed.
void addRecordingArgs(CLI::App& command, RecordingArgs& args, bool withVariant = true);

// Opens the recording or throws CommandError with the reason.
void openRecording(StreamSource& source, const RecordingArgs& args);

// The error of a recording that did not open, led by the text of the message
// box the desktop shows for it, if any.
CommandError openFailureError(const Status& openFailure);

}  // namespace marlin::cli
