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
    bool toDevice = false;
  };
  auto options = std::make_shared<Options>();
  CLI::App* command = app.add_subcommand("cut", "Copy the blocks holding bytes START..END into a new .QKV file");
  addRecordingArgs(*command, options->recording, false);
  command->add_option("start", options->start, "first byte position")->required()->check(notNegative());
  command->add_option("end", options->end, "last byte position")->required()->check(notNegative());
  command->add_option("output", options->output, "new recording to write")->required();
  command->add_flag("--to-device", options->toDevice, "let OUTPUT be a block device, whose contents are overwritten");
  command->callback([options] {
    StreamSource source;
    openRecording(source, options->recording);
    const CopyTarget target = options->toDevice ? CopyTarget::DeviceToo : CopyTarget::FileOnly;
    if (const Status copied = source.copyRange(options->start, options->end, options->output, target); !copied) {
      throw CommandError("cannot cut " + options->recording.path + ": " + copied.message());
    }
  });
}

}  // namespace marlin::cli
