#include <fstream>

#include "cli/commands.h"
#include "cli/cli_support.h"
#include "cli/progress_line.h"
#include "sample/sample_recording.h"

namespace marlin::cli {

void addMakeSampleCommand(CLI::App& app) {
  struct Options {
    std::string output;
    sample::SampleOptions sample;
  };
  auto options = std::make_shared<Options>();
  CLI::App* command = app.add_subcommand("make-sample", "Write a sample recording with moving pictures per channel");
  command->add_option("output", options->output, "recording to write")->required();
  command->add_option("--channels", options->sample.channels, "camera channels")->check(CLI::Range(1, 16));
  command->add_option("--seconds", options->sample.seconds, "length")->check(CLI::Range(1, 86400));
  command->add_option("--height", options->sample.height, "picture height")->check(CLI::IsMember({224, 272}));
  command->add_flag("--audio", options->sample.audio, "add an 8000 Hz tone as audio frames");
  command->add_flag("--conditional", options->sample.conditional, "conditional pictures between refresh pictures");
  command->add_option("--variant", options->sample.variant, "codec variant 0-6")->check(CLI::Range(0, 6));
  command->add_option("--quality", options->sample.quality, "1 (finest) to 14")->check(CLI::Range(1, 14));
  command->callback([options] {
    ProgressLine progress("encoding");
    const auto recording = sample::makeSampleRecording(
        options->sample, [&progress](std::uint64_t done, std::uint64_t total) { progress.update(done, total); });
    progress.finish();
    std::ofstream out(options->output, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(recording.data()), static_cast<std::streamsize>(recording.size()));
    out.close();
    if (!out) {
      throw CommandError("cannot write " + options->output);
    }
  });
}

}  // namespace marlin::cli
