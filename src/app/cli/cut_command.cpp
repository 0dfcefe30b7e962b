#include <iostream>

#include "app/cli/commands.h"
#include "app/cli/recording_args.h"

namespace marlin::cli {

void addCutCommand(CLI::App& app) {
  struct Options {
    RecordingArgs recording;
    std::uint64_t start = 0;
    std::uint64_t end = 0;
    std::string output;
  };
  auto options = std::make_shared<Options>();
  CLI::App* command = app.add_subcommand("cut", "Copy the blocks holding bytes START..END into a new .QKV file");
  addRecordingArgs(*command, options->recording, false);
  command->add_option("start", options->start, "first byte position")->required();
  command->add_option("end", options->end, "last byte position")->required();
  command->add_option("output", options->output, "new recording to write")->required();
  command->callback([options] {
    CapturedMessages messages;
    StreamSource source(messages);
    openRecording(source, options->recording, messages);
    if (!source.copyRange(options->start, options->end, options->output)) {
      throw CommandError("cannot cut " + options->recording.path + ": " + source.lastCopyError());
    }
  });
}

}  // namespace marlin::cli
