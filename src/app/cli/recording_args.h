#pragma once

#include <CLI/CLI.hpp>
#include <string>

#include "app/cli/cli_support.h"
#include "source/stream_source.h"

namespace marlin::cli {

// The options every command that reads a recording takes.
struct RecordingArgs {
  std::string path;
  bool isDisk = false;
  CodecVariant variant = 4;
};

void addRecordingArgs(CLI::App& command, RecordingArgs& args, bool withVariant = true);

// Opens the recording or throws CommandError with the reason.
void openRecording(StreamSource& source, const RecordingArgs& args);

// The error of a recording that did not open, led by the text of the message
// box the desktop shows for it, if any.
CommandError openFailureError(const Status& openFailure);

}  // namespace marlin::cli
