#include <cerrno>
#include <cstdio>
#include <cstring>

#include "app/cli/cli_support.h"
#include "app/cli/commands.h"
#include "app/cli/motion_argument.h"
#include "app/cli/progress_line.h"
#include "engine/sample/sample_recording.h"

namespace marlin::cli {

namespace {

// Appends to a file through the C library's buffer: the recording comes in
// pieces as small as a block header.
class FileSink final : public ByteSink {
 public:
  FileSink(std::FILE* file, const std::string& path) : file_(file), path_(path) {}
  Status write(const std::uint8_t* data, std::size_t n) override {
    if (std::fwrite(data, 1, n, file_) != n) {
      return Status::fromErrno(errno, "cannot write " + path_);
    }
    return Status::ok();
  }

 private:
  std::FILE* file_;
  const std::string& path_;
};

}  // namespace

void addMakeSampleCommand(CLI::App& app) {
  struct Options {
    std::string output;
    sample::SampleOptions sample;
    std::vector<std::string> motion;
  };
  auto options = std::make_shared<Options>();
  CLI::App* command = app.add_subcommand(
      "make-sample",
      "Write a sample recording with moving pictures per channel, or still ones with motion when scheduled");
  command->add_option("output", options->output, "recording to write")->required();
  command->add_option("--channels", options->sample.channels, "camera channels")->check(CLI::Range(1, 16));
  command->add_option("--seconds", options->sample.seconds, "length")->check(CLI::Range(1, 86400));
  command->add_option("--height", options->sample.height, "picture height")->check(CLI::IsMember({224, 272}));
  command->add_flag("--audio", options->sample.audio, "add an 8000 Hz tone as audio frames");
  command->add_flag("--conditional", options->sample.conditional, "conditional pictures between refresh pictures");
  command->add_option("--variant", options->sample.variant, "codec variant 0-6")->check(CLI::Range(0, 6));
  command->add_option("--quality", options->sample.quality, "1 (finest) to 14")->check(CLI::Range(1, 14));
  command
      ->add_option("--motion", options->motion,
                   "still scenes, and a 48x48 box moving on channel CH (from 1) from START to END seconds, "
                   "inside that area of the picture if given; repeatable")
      ->type_name("CH:START-END[@X,Y,W,H]")
      ->allow_extra_args(false);
  command
      ->add_option("--noise", options->sample.noiseSigma,
                   "still scenes with sensor noise on every picture: its standard deviation in luma levels, 0-10")
      ->check(CLI::Range(0.0, 10.0));
  command->callback([options] {
    options->sample.motion = parseMotionSpecs(options->motion, options->sample);
    std::FILE* file = std::fopen(options->output.c_str(), "wb");
    if (file == nullptr) {
      throw CommandError("cannot write " + options->output + ": " + std::strerror(errno));
    }
    FileSink sink(file, options->output);
    ProgressLine progress("encoding");
    Status written = sample::writeSampleRecording(
        options->sample, sink, [&progress](std::uint64_t done, std::uint64_t total) { progress.update(done, total); });
    progress.finish();
    if (std::fclose(file) != 0 && written) {
      written = Status::fromErrno(errno, "cannot write " + options->output);
    }
    if (!written) {
      // A partial sample is of no use to anyone.
      std::remove(options->output.c_str());
      throw CommandError(written.message());
    }
  });
}

}  // namespace marlin::cli
