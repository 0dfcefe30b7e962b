#include "app/cli/recording_args.h"

namespace marlin::cli {

void addRecordingArgs(CLI::App& command, RecordingArgs& args, bool withVariant) {
  command.add_option("file", args.path, "recording: a .QKV file, a disk image or a disk device")->required();
  command.add_flag("--disk", args.isDisk, "read in DVR disk byte order (16-bit words swapped)");
  if (withVariant) {
    command.add_option("--variant", args.variant, "codec variant 0-6 (6: big-endian block headers)")
        ->check(CLI::Range(0, kVariantCount - 1));
  }
}

void openRecording(StreamSource& source, const RecordingArgs& args, const CapturedMessages& messages) {
  source.setCodecVariant(args.variant);
  if (!source.open(args.path, args.isDisk)) {
    throw CommandError(messages.prefix() + describeOpenFailure(args.path, source.lastOpenError()));
  }
}

}  // namespace marlin::cli
